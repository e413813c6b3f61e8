// The process-wide globals: written once by the entry (and the application
// object's constructor) before the run starts, only read afterwards.
#pragma once

#include <windows.h>

class AppBase;

extern AppBase* g_app;            // the application object; the last one built
extern HINSTANCE g_hInstance;     // the module's instance handle
extern const wchar_t* g_cmdLine;  // the command-line tail; never null
