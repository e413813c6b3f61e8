#include "ui/win32/window_list.h"

namespace {
// Constant-initialised: usable by static objects built before the entry.
ToolkitState g_toolkit;
}  // namespace

ToolkitState& Toolkit() { return g_toolkit; }

FrameWindow* FrameWindow::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  for (FrameWindow* object = g_toolkit.head; object != nullptr; object = object->next) {
    if (object->hwnd == window) return object;
  }
  return nullptr;
}

void LinkWindow(FrameWindow* object) {
  object->next = g_toolkit.head;
  g_toolkit.head = object;
}

void UnlinkWindow(FrameWindow* object) {
  for (FrameWindow** link = &g_toolkit.head; *link != nullptr; link = &(*link)->next) {
    if (*link == object) {
      *link = object->next;
      break;
    }
  }
  object->hwnd = nullptr;
  object->next = nullptr;
}

bool IsListed(const FrameWindow* object) {
  for (const FrameWindow* listed = g_toolkit.head; listed != nullptr; listed = listed->next) {
    if (listed == object) return true;
  }
  return false;
}

FrameWindow* NearestRegisteredAncestor(HWND window) {
  if (window == nullptr) return nullptr;
  for (HWND above = GetParent(window); above != nullptr; above = GetParent(above)) {
    if (FrameWindow* object = FrameWindow::FromHandle(above)) return object;
  }
  return nullptr;
}

void DestroyAllWindows(DestroyWindowFunction destroy) {
  while (g_toolkit.head != nullptr) {
    FrameWindow* root = g_toolkit.head;
    for (FrameWindow* object = g_toolkit.head; object != nullptr; object = object->next) {
      if (NearestRegisteredAncestor(object->hwnd) == nullptr) {
        root = object;
        break;
      }
    }
    destroy(root->hwnd);
    // Normally WM_NCDESTROY has unlinked the root by now. It is still listed
    // when its window was already gone (a derived procedure kept
    // WM_NCDESTROY from the base) or would not die; dropping it here makes
    // every round shorten the list, so the loop ends whatever happened.
    if (IsListed(root)) UnlinkWindow(root);
  }
}
