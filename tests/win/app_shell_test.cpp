// The application shell inside one process: the message loop and its filter
// chain, the one-window pump and the module path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/app_base.h"
#include "app/win32/message_pump.h"
#include "app/win32/module_path.h"
#include "ui/win32/toolkit.h"

namespace {

constexpr UINT kDispatched = WM_APP + 1;
constexpr UINT kConsumed = WM_APP + 2;

std::vector<UINT> received;  // the WM_APP messages the recording windows got

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_APP) received.push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A plain (unregistered) recording window; message-only unless it is a child.
HWND CreateRecordingWindow(HWND parent = HWND_MESSAGE) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.lpszClassName = L"app_shell_test_recorder";
  RegisterClassW(&windowClass);  // fails harmlessly from the second call on
  return CreateWindowExW(0, windowClass.lpszClassName, L"", parent != HWND_MESSAGE ? WS_CHILD : 0,
                         0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
}

class FilteringApp : public AppBase {
 public:
  int InitInstance() override { return 0; }
  int ExitInstance() override { return 0; }
  int PreTranslateMessage(MSG* message) override {
    if (message->message == kConsumed) return 1;
    return AppBase::PreTranslateMessage(message);
  }
};

class AnsweringFrame : public FrameWindow {
 public:
  int PreTranslateMessage(MSG* message) override { return message->message == kConsumed ? 7 : 0; }
};

TEST(AppShellTest, TheLoopDispatchesWhatTheFilterLeavesAndThePumpOnlyItsWindow) {
  FilteringApp app;
  ASSERT_EQ(g_app, &app);
  HWND mine = CreateRecordingWindow();
  HWND other = CreateRecordingWindow();
  ASSERT_NE(other, nullptr) << GetLastError();
  received.clear();
  PostMessageW(mine, kConsumed, 0, 0);
  PostMessageW(mine, kDispatched, 0, 0);
  PostQuitMessage(0);
  app.MessageLoop();
  EXPECT_EQ(received, std::vector<UINT>{kDispatched});

  received.clear();
  PumpWindowMessages(mine);  // nothing queued: returns at once
  EXPECT_TRUE(received.empty());
  PostMessageW(other, kConsumed, 0, 0);
  PostMessageW(mine, kDispatched, 0, 0);
  PumpWindowMessages(mine);
  EXPECT_EQ(received, std::vector<UINT>{kDispatched});
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, other, 0, 0, PM_REMOVE));  // left queued
  DestroyWindow(mine);
  DestroyWindow(other);
}

TEST(AppShellTest, TheFilterAsksTheFirstRegisteredWindowUpTheParents) {
  FilteringApp app;
  MSG message{};
  message.message = kConsumed;
  EXPECT_EQ(app.AppBase::PreTranslateMessage(&message), 0);  // no window at all

  HWND loose = CreateRecordingWindow();
  message.hwnd = loose;
  EXPECT_EQ(app.AppBase::PreTranslateMessage(&message), 0);  // nobody registered

  ToolkitInit(GetModuleHandleW(nullptr));
  {
    AnsweringFrame frame;
    frame.Create(nullptr, L"frame", WS_POPUP, nullptr, nullptr);
    ASSERT_NE(frame.hwnd, nullptr);
    message.hwnd = frame.hwnd;
    EXPECT_EQ(app.AppBase::PreTranslateMessage(&message), 7);
    HWND child = CreateRecordingWindow(frame.hwnd);
    HWND grandchild = CreateRecordingWindow(child);
    ASSERT_NE(grandchild, nullptr);
    message.hwnd = grandchild;
    EXPECT_EQ(app.AppBase::PreTranslateMessage(&message), 7);
    message.message = kDispatched;
    EXPECT_EQ(app.AppBase::PreTranslateMessage(&message), 0);
  }
  ToolkitShutdown();
  DestroyWindow(loose);
}

TEST(AppShellTest, ModulePathIsTheLongPathOfTheProgram) {
  wchar_t path[kModulePathUnits];
  ASSERT_EQ(GetModulePath(path), 1);
  wchar_t expected[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, expected, MAX_PATH), 0u);
  GetLongPathNameW(expected, expected, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(path, expected), 0) << path;
  EXPECT_TRUE(std::wstring(path).ends_with(L".exe"));
}

}  // namespace
