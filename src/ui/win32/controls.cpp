// Creating a window object's window: the toolkit class or a subclassed
// standard control, with its font, margins, colours, cursor and size.
#include "ui/control_rules.h"
#include "ui/win32/toolkit.h"
#include "ui/win32/window_list.h"

const wchar_t kClassStatic[] = L"STATIC";
const wchar_t kClassButton[] = L"BUTTON";
const wchar_t kClassEdit[] = L"EDIT";
const wchar_t kClassComboBox[] = L"COMBOBOX";
const wchar_t kClassProgress[] = L"msctls_progress32";
const wchar_t kClassTreeView[] = L"SysTreeView32";
const wchar_t kClassListView[] = L"SysListView32";

namespace {

constexpr wchar_t kCreationFailedText[] =
    L"hi,\r\n there is a window creation failed !\r\n please check its style carefully.";
constexpr wchar_t kCreationFailedCaption[] = L"bug";

constexpr LPARAM kMultiLineEditMargins = MAKELPARAM(8, 8);
constexpr LPARAM kSingleLineEditMargins = MAKELPARAM(2, 2);

// Controls that show a field rather than a label: window-coloured however
// deep they sit.
bool HasWindowBackground(const wchar_t* classId) {
  return classId == kClassEdit || classId == kClassComboBox || classId == kClassProgress ||
         classId == kClassTreeView || classId == kClassListView;
}

void SetDefaultColours(FrameWindow& object, DWORD style) {
  if ((style & WS_CHILD) != 0) {
    object.backColor = COLOR_INHERIT;
    object.textColor = COLOR_INHERIT;
  } else {
    object.backColor = static_cast<int32_t>(GetSysColor(COLOR_BTNFACE));
    object.textColor = static_cast<int32_t>(GetSysColor(COLOR_WINDOWTEXT));
  }
  if (HasWindowBackground(object.className)) {
    object.backColor = static_cast<int32_t>(GetSysColor(COLOR_WINDOW));
  }
}

// The system's hand cursor (IDC_HAND, spelled out: the project is not built
// with UNICODE, where the IDC_ names are narrow).
HCURSOR HandCursor() { return LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)); }

// A clickable static looks and feels like a link; clickable buttons show
// the hand too.
void SetLinkLook(FrameWindow& object, DWORD style) {
  if (object.className == kClassStatic && (style & SS_NOTIFY) != 0) {
    object.cursor = HandCursor();
    object.textColor = static_cast<int32_t>(RGB(0, 0, 255));
  } else if (object.className == kClassButton && ButtonShowsHand(style & 0xF)) {
    object.cursor = HandCursor();
  }
}

}  // namespace

FrameWindow::~FrameWindow() {
  if (hwnd != nullptr) DestroyWindow(hwnd);
}

int FrameWindow::Create(const wchar_t* classId, const wchar_t* text, DWORD style, HWND parent,
                        HMENU menuOrId) {
  ToolkitState& toolkit = Toolkit();
  DWORD extendedStyle = classId == kClassEdit ? WS_EX_CLIENTEDGE : 0;
  className = classId;
  toolkit.creating = this;
  savedProc = nullptr;

  // The low byte of a window style is class-specific; for the toolkit class
  // it means nothing and is cleared (the caller still sees it in WM_CREATE).
  const wchar_t* windowClass = classId != nullptr ? classId : toolkit.className;
  DWORD createStyle = classId != nullptr ? style : (style & ~DWORD{0xFF});
  HWND created = CreateWindowExW(extendedStyle, windowClass, text, createStyle, 0, 0, 100, 100,
                                 parent, menuOrId, toolkit.instance, nullptr);
  if (created == nullptr) {
    toolkit.creating = nullptr;
    return MessageBoxW(nullptr, kCreationFailedText, kCreationFailedCaption, MB_OK);
  }
  hwnd = created;
  if (classId != nullptr) {
    savedProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(created, GWLP_WNDPROC));
    SetWindowLongPtrW(created, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWndProc));
  }
  if (toolkit.mainWindow == nullptr && parent == nullptr) toolkit.mainWindow = created;

  font = toolkit.font.Get();
  SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  if (classId == kClassEdit) {
    SendMessageW(created, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 (style & ES_MULTILINE) != 0 ? kMultiLineEditMargins : kSingleLineEditMargins);
  }
  SetDefaultColours(*this, style);
  SetLinkLook(*this, style);
  AutoSize();

  LinkWindow(this);
  toolkit.creating = nullptr;
  // The object's first sight of its creation: the system's WM_CREATE went
  // past it, because it was not registered yet.
  return static_cast<int>(SendMessageW(created, WM_CREATE, style, 0));
}
