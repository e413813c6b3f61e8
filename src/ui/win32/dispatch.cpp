// Message routing: the shared procedure, the base WindowProc with its
// bubbling to registered ancestors, and the last stage.
#include "ui/win32/colours.h"
#include "ui/win32/toolkit.h"
#include "ui/win32/window_list.h"

namespace {

// The control a WM_NOTIFY or WM_DRAWITEM is about; null for other messages.
HWND ControlOfNotification(UINT message, LPARAM lParam) {
  if (lParam == 0) return nullptr;
  if (message == WM_NOTIFY) return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
  if (message == WM_DRAWITEM) return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
  return nullptr;
}

LRESULT CallPrevious(const FrameWindow& object, HWND window, UINT message, WPARAM wParam,
                     LPARAM lParam) {
  if (object.savedProc != nullptr) {
    return CallWindowProcW(object.savedProc, window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT LastStage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  FrameWindow* object = FrameWindow::FromHandle(window);
  if (object == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_ERASEBKGND && object->savedProc == nullptr) {
    return PaintBackground(*object, reinterpret_cast<HDC>(wParam));
  }
  if (message == WM_SETCURSOR && object->cursor != nullptr) {
    SetCursor(object->cursor);
    return 1;
  }
  return CallPrevious(*object, window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK SharedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (FrameWindow* object = FrameWindow::FromHandle(window)) {
    return object->WindowProc(window, message, wParam, lParam);
  }
  // A control subclassed by FrameWindow::Create but not yet registered: what
  // it receives while being configured belongs to its own procedure. Other
  // windows of ours that are not registered (the toolkit class inside
  // CreateWindowExW, WM_CREATE included) get the default.
  const FrameWindow* creating = Toolkit().creating;
  if (creating != nullptr && creating->savedProc != nullptr && creating->hwnd == window) {
    return CallWindowProcW(creating->savedProc, window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT FrameWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Our own notification, reflected here by the last stage: it ends in the
  // parent's previous procedure, so it is handled exactly once.
  HWND control = ControlOfNotification(message, lParam);
  if (control != nullptr && control == hwnd && window == GetParent(hwnd)) {
    if (const FrameWindow* parent = FromHandle(window)) {
      return CallPrevious(*parent, window, message, wParam, lParam);
    }
  }
  if (window == hwnd) {
    switch (message) {
      case WM_NCDESTROY: {
        WNDPROC previous = savedProc;
        UnlinkWindow(this);
        if (previous != nullptr) return CallWindowProcW(previous, window, message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
      }
      case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font);
      case WM_SETFONT:
        font = reinterpret_cast<HFONT>(wParam);
        break;
      case WM_SETTEXT:
        if (className == kClassStatic || className == kClassButton) {
          const auto* text = reinterpret_cast<const wchar_t*>(lParam);
          AutoSize(text != nullptr ? text : L"");
        }
        break;
      default:
        break;
    }
  }
  if (FrameWindow* ancestor = NearestRegisteredAncestor(hwnd)) {
    return ancestor->WindowProc(window, message, wParam, lParam);
  }
  return DefaultHandling(window, message, wParam, lParam);
}

int FrameWindow::PreTranslateMessage(MSG* message) {
  if (FrameWindow* ancestor = NearestRegisteredAncestor(hwnd)) {
    return ancestor->PreTranslateMessage(message);
  }
  return 0;
}

LRESULT DefaultHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // The toolkit's own WM_CREATE, sent by FrameWindow::Create; it never
      // reaches a control's previous procedure.
      return 1;
    case WM_DESTROY:
      if (window == Toolkit().mainWindow) PostQuitMessage(0);
      break;
    case WM_CLOSE:
      // Closing the main window destroys it (the default below); any other
      // window only hides, so that its object and controls stay usable.
      if (window != Toolkit().mainWindow) {
        ShowWindow(window, SW_HIDE);
        return 1;
      }
      break;
    case WM_NOTIFY:
    case WM_DRAWITEM: {
      // Reflect a child's notification to the child's object. The window
      // itself must be registered too: only then does the child's base
      // procedure end the notification instead of bubbling it back here.
      HWND control = ControlOfNotification(message, lParam);
      if (control != nullptr && GetParent(control) == window &&
          FrameWindow::FromHandle(window) != nullptr) {
        if (FrameWindow* object = FrameWindow::FromHandle(control)) {
          return object->WindowProc(window, message, wParam, lParam);
        }
      }
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      FrameWindow* object = FrameWindow::FromHandle(reinterpret_cast<HWND>(lParam));
      if (object != nullptr && object->savedProc != nullptr) {
        return reinterpret_cast<LRESULT>(ColourReply(*object, reinterpret_cast<HDC>(wParam)));
      }
      break;
    }
    default:
      break;
  }
  return LastStage(window, message, wParam, lParam);
}
