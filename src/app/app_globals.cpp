#include "app/app_globals.h"

AppBase* g_app = nullptr;
HINSTANCE g_hInstance = nullptr;
const wchar_t* g_cmdLine = L"";
