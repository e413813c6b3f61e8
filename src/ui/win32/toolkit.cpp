// Starting and stopping the toolkit: its window class and font.
#include <windows.h>
// commctrl.h needs windows.h before it.
#include <commctrl.h>

#include <cstdint>
#include <cwchar>

#include "ui/win32/toolkit.h"
#include "ui/win32/window_list.h"

namespace {

constexpr wchar_t kClassNamePrefix[] = L"__TFRAME_WINDOW_CLASS__";
constexpr wchar_t kFontFace[] = L"Tahoma";

// The prefix and two 32-bit numbers of at most 8 hexadecimal digits each.
static_assert(sizeof(kClassNamePrefix) / sizeof(wchar_t) - 1 + 2 * 8 <
              sizeof(ToolkitState::className) / sizeof(wchar_t));
static_assert(sizeof(kFontFace) / sizeof(wchar_t) <= LF_FACESIZE);
// The shipped 32-bit stub registers with the 48-byte structure.
static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXW) == 48);
static_assert(sizeof(void*) != 4 || sizeof(LOGFONTW) == 92);

unsigned Low32Bits(const void* address) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(address));
}

// The prefix's address and the instance handle make the name unique per
// loaded module, so two copies of the toolkit in one process never share
// (and unregister) one class.
void BuildClassName(wchar_t* name, HINSTANCE instance) {
  wsprintfW(name, L"%s%x%x", kClassNamePrefix, Low32Bits(kClassNamePrefix), Low32Bits(instance));
}

void RegisterToolkitClass(const wchar_t* name, HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = SharedWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  // No background brush: WM_ERASEBKGND paints the resolved colour.
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

// The stock font is made for the system's DPI; a window on a screen of
// another DPI gets it scaled (dpi 0: as it is).
HFONT CreateToolkitFont(unsigned dpi = 0) {
  LOGFONTW description{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  const unsigned system = SystemDpi();
  if (dpi != 0 && dpi != system) {
    description.lfHeight =
        MulDiv(description.lfHeight, static_cast<int>(dpi), static_cast<int>(system));
  }
  description.lfCharSet = DEFAULT_CHARSET;
  wmemcpy(description.lfFaceName, kFontFace, sizeof(kFontFace) / sizeof(wchar_t));
  return CreateFontIndirectW(&description);
}

}  // namespace

void ToolkitInit(HINSTANCE instance) {
  ToolkitState& toolkit = Toolkit();
  toolkit.instance = instance;
  toolkit.head = nullptr;
  toolkit.creating = nullptr;
  toolkit.mainWindow = nullptr;
  BuildClassName(toolkit.className, instance);
  RegisterToolkitClass(toolkit.className, instance);
  InitCommonControls();
  toolkit.font.Reset(CreateToolkitFont());
}

unsigned SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

unsigned WindowDpi(HWND window) {
  // Windows 10 1607 and later know each window's DPI; before, every window
  // has the system's.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
  const UINT dpi = getDpi != nullptr && window != nullptr ? getDpi(window) : 0;
  return dpi != 0 ? dpi : SystemDpi();
}

void ToolkitScaleFont(unsigned dpi) {
  ToolkitState& toolkit = Toolkit();
  HFONT font = CreateToolkitFont(dpi);
  if (font == nullptr) return;
  // Every window takes the new font before the old one is deleted.
  for (FrameWindow* window = toolkit.head; window != nullptr; window = window->next) {
    window->font = font;
    SendMessageW(window->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  toolkit.font.Reset(font);
}

void ToolkitShutdown() {
  ToolkitState& toolkit = Toolkit();
  DestroyAllWindows();
  toolkit.font.Reset();
  UnregisterClassW(toolkit.className, toolkit.instance);
}
