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

HFONT CreateToolkitFont() {
  LOGFONTW description{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
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

void ToolkitShutdown() {
  ToolkitState& toolkit = Toolkit();
  DestroyAllWindows();
  toolkit.font.Reset();
  UnregisterClassW(toolkit.className, toolkit.instance);
}
