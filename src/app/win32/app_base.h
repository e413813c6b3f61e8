// The application object: owns the fixed run of the process (instance
// guard, toolkit, the application's own start, message loop and clean-up)
// and leaves the application-specific work to its hooks. Also the process
// entry's work and the globals it writes, shared by every program built on
// AppBase.
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
  // A start of the same file runs but does not answer: this one cannot go
  // on. Says so where it can; the result (-1 by default) is the exit code.
  virtual int OnUnansweredInstance();
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

// The process-wide globals: written once by the entry (and the application
// object's constructor) before the run starts, only read afterwards.
extern AppBase* g_app;            // the application object; the last one built
extern HINSTANCE g_hInstance;     // the module's instance handle
extern const wchar_t* g_cmdLine;  // the command-line tail; never null

// The process entry's work: stores the globals (an absent tail becomes
// empty) and runs g_app; returns the process exit code.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);
