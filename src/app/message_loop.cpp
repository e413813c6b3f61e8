#include "app/app_base.h"
#include "app/app_globals.h"
#include "ui/toolkit.h"

void AppBase::MessageLoop() {
  MSG message;
  // -1 (an invalid filter) cannot happen without a window filter; treat it
  // as the end rather than spinning.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (g_app->PreTranslateMessage(&message) != 0) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int AppBase::PreTranslateMessage(MSG* message) {
  // The message's own window first, then its parents: the first registered
  // one answers for the whole chain.
  for (HWND window = message->hwnd; window != nullptr; window = GetParent(window)) {
    if (FrameWindow* object = FrameWindow::FromHandle(window)) {
      return object->PreTranslateMessage(message);
    }
  }
  return 0;
}
