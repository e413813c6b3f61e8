// The window toolkit: a small object layer over Win32 windows. Every window
// the system makes belongs to a FrameWindow object; the toolkit keeps the
// live objects in one list and routes every message of their windows through
// one procedure to the object's WindowProc, from where unconsumed messages
// bubble up through the registered ancestors to a last-stage handler.
//
// Single-threaded: every window belongs to the thread that calls ToolkitInit.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/win32/gdi_handles.h"

// A colour value that takes the colour of the nearest registered ancestor
// holding a concrete one (or the system's, when none does).
inline constexpr int32_t COLOR_INHERIT = -2;

// Class identifiers for FrameWindow::Create. The toolkit recognises them by
// address: a caller's own copy of the same text creates the control but gets
// none of the per-class rules (margins, colours, cursors, sizing).
extern const wchar_t kClassStatic[];
extern const wchar_t kClassButton[];
extern const wchar_t kClassEdit[];
extern const wchar_t kClassComboBox[];
extern const wchar_t kClassProgress[];
extern const wchar_t kClassTreeView[];
extern const wchar_t kClassListView[];

class FrameWindow {
 public:
  FrameWindow() = default;
  // Destroys the window if it is still alive; the cached brush goes with the
  // object. While the window dies its last messages reach the base WindowProc.
  virtual ~FrameWindow();
  FrameWindow(const FrameWindow&) = delete;
  FrameWindow& operator=(const FrameWindow&) = delete;

  // Message filter before translation: asks the nearest registered ancestor;
  // 0 (do translate and dispatch) when there is none.
  virtual int PreTranslateMessage(MSG* message);

  // Called for this object's own messages and for every message that bubbles
  // up from a registered descendant (then `window` is the descendant's).
  // Overrides handle what they want and pass everything else, WM_NCDESTROY
  // always, to this base version with the same arguments.
  virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Makes this object's window: of the toolkit's own class when `classId` is
  // null, else the standard control it names (then subclassed). The window
  // gets the toolkit font, default colours and cursor, is sized to `text`,
  // registered, and sent the toolkit's own WM_CREATE (wParam: `style`).
  // On success returns the answer to that WM_CREATE (normally 1). On failure
  // shows a message box, leaves the object unregistered with a null window
  // and returns the box's result.
  virtual int Create(const wchar_t* classId, const wchar_t* text, DWORD style, HWND parent,
                     HMENU menuOrId);

  // The registered object of `window`, or null (also for a null handle).
  static FrameWindow* FromHandle(HWND window);

  // Sizes a STATIC, EDIT or BUTTON to `text` (null: the window's own text)
  // plus the class margins, keeping its position. Returns the padded width
  // (0 for classes the toolkit does not size).
  int AutoSize(const wchar_t* text = nullptr);
  // Extent of `text` in this window's font; 0 x 0 for a null or empty text.
  SIZE MeasureText(const wchar_t* text);
  // Height of `text`, or of a sample text when null, in this window's font.
  int TextHeight(const wchar_t* text = nullptr);
  // SetWindowPos without z-order change. SWP_NOREDRAW in `flags` means "do
  // not invalidate": it is not passed on, and the SetWindowPos result is
  // returned. Otherwise the window is invalidated with erase and the
  // InvalidateRect result is returned.
  int SetPos(int x, int y, int width, int height, UINT flags);

  FrameWindow* next = nullptr;         // link of the window list
  WNDPROC savedProc = nullptr;         // a subclassed control's previous procedure
  COLORREF brushColor = 0;             // colour of `brush`
  UniqueBrush brush;                   // last brush of a colour reply; owned
  const wchar_t* className = nullptr;  // a class identifier; null: toolkit class
  HWND hwnd = nullptr;                 // null before creation and after WM_NCDESTROY
  int32_t backColor = COLOR_INHERIT;   // a COLORREF or COLOR_INHERIT
  int32_t textColor = COLOR_INHERIT;   // a COLORREF or COLOR_INHERIT
  HFONT font = nullptr;                // last WM_SETFONT; not owned
  HCURSOR cursor = nullptr;            // shown over the window; null: class default

 private:
  SIZE MeasureOwnText();
};

// Registers the toolkit class in the module `instance`, which also owns every
// window the toolkit creates, initialises the common controls and creates the
// toolkit font. Called once before any window is created.
void ToolkitInit(HINSTANCE instance);
// Destroys every window still alive, deletes the font, unregisters the class.
void ToolkitShutdown();

// The DPI of the screens as a whole, and of the screen `window` is on.
unsigned SystemDpi();
unsigned WindowDpi(HWND window);
// Makes the toolkit font anew for `dpi` and gives it to every window.
void ToolkitScaleFont(unsigned dpi);

// The procedure of the toolkit class and of every subclassed control.
LRESULT CALLBACK SharedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The last stage of the chain, after every registered ancestor has seen the
// message: the toolkit's defaults, then the control's previous procedure or
// DefWindowProcW.
LRESULT DefaultHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// `window`'s rectangle in its parent's client coordinates (screen coordinates
// for a top-level window). An invalid window gives an empty rectangle.
void GetRectInParent(HWND window, RECT* rect);
