// The process entry's work, shared by every program built on AppBase.
#pragma once

#include <windows.h>

// Stores the globals (an absent tail becomes empty) and runs g_app; returns
// the process exit code.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);
