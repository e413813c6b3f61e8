// The application object: owns the fixed run of the process (instance
// guard, toolkit, the application's own start, message loop and clean-up)
// and leaves the application-specific work to its hooks.
#pragma once

#include <windows.h>

#include <cstdint>

class AppBase {
 public:
  // Becomes the process's application (g_app).
  AppBase();
  virtual ~AppBase() = default;
  AppBase(const AppBase&) = delete;
  AppBase& operator=(const AppBase&) = delete;

  // The whole run; its result is the process exit code.
  virtual int Run();
  // 0: go on with the message loop; anything else ends the run with it.
  virtual int InitInstance() = 0;
  // After the loop; the result is the exit code.
  virtual int ExitInstance() = 0;
  // A text (UTF-8) that a second start of the same file forwarded.
  virtual void OnForwardedCommand(const char* text);
  // Non-zero: `message` is consumed and neither translated nor dispatched.
  virtual int PreTranslateMessage(MSG* message);

  // Blocks until WM_QUIT, filtering each message through g_app.
  void MessageLoop();

  // The show command given to the process entry, for the main window.
  int32_t showCommand = 0;

 private:
  int RunSecondStart();
  int RunFirstStart();
};
