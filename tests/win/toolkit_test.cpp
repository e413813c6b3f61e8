// The window toolkit under Wine: dispatch and bubbling, the last stage,
// destruction, sizing, colours, painting and layout, on hidden windows.
#include "ui/win32/toolkit.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui/win32/colours.h"
#include "ui/win32/window_list.h"

namespace {

HINSTANCE g_hInstance = nullptr;

// What a window procedure saw: who, for which window, which message.
struct Seen {
  std::string who;
  HWND window;
  UINT message;
  bool operator==(const Seen&) const = default;
};
std::vector<Seen> g_seen;
// Flags of the last WM_WINDOWPOSCHANGING the test control received.
UINT g_lastPositionFlags = 0;
// The font of the last WM_SETFONT that reached the test control's procedure.
HFONT g_controlFont = nullptr;

constexpr UINT WM_PROBE = WM_APP + 1;
constexpr LRESULT kControlNotifyAnswer = 77;

// A control class of the test's own, standing in for a standard control so
// that the test sees what reaches the control's previous procedure.
constexpr wchar_t kTestControlClass[] = L"ToolkitTestControl";

LRESULT CALLBACK TestControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFONT) g_controlFont = reinterpret_cast<HFONT>(wParam);
  if (message == WM_WINDOWPOSCHANGING) {
    g_lastPositionFlags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
  }
  if (message == WM_PROBE || message == WM_LBUTTONDOWN || message == WM_NOTIFY ||
      message == WM_CREATE) {
    g_seen.push_back({"control", window, message});
  }
  if (message == WM_NOTIFY) return kControlNotifyAnswer;
  return DefWindowProcW(window, message, wParam, lParam);
}

// A window object that notes the messages of interest, then behaves as the
// base (as the contract asks of every override).
class RecordingWindow : public FrameWindow {
 public:
  explicit RecordingWindow(std::string name) : name_(std::move(name)) {}
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PROBE || message == WM_LBUTTONDOWN || message == WM_NOTIFY ||
        message == WM_CREATE) {
      g_seen.push_back({name_, window, message});
    }
    if (message == WM_CREATE && window == hwnd) createStyle = static_cast<DWORD>(wParam);
    if (message == WM_CREATE && window == hwnd && createAnswer != 0) return createAnswer;
    return FrameWindow::WindowProc(window, message, wParam, lParam);
  }
  int PreTranslateMessage(MSG* message) override {
    return preTranslateAnswer != 0 ? preTranslateAnswer : FrameWindow::PreTranslateMessage(message);
  }

  DWORD createStyle = 0;
  LRESULT createAnswer = 0;
  int preTranslateAnswer = 0;

 private:
  std::string name_;
};

// Breaks the contract on purpose: keeps WM_NCDESTROY from the base, so its
// object stays listed after its window is gone.
class ContractBreaker : public FrameWindow {
 public:
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NCDESTROY) return DefWindowProcW(window, message, wParam, lParam);
    return FrameWindow::WindowProc(window, message, wParam, lParam);
  }
};

int g_destroyCalls = 0;
BOOL WINAPI CountingDestroy(HWND window) {
  ++g_destroyCalls;
  return DestroyWindow(window);
}

SIZE WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void ExpectSize(HWND window, LONG width, LONG height) {
  SIZE size = WindowSize(window);
  EXPECT_EQ(size.cx, width);
  EXPECT_EQ(size.cy, height);
}

size_t ListLength() {
  size_t length = 0;
  for (FrameWindow* object = Toolkit().head; object != nullptr; object = object->next) ++length;
  return length;
}

HMENU ChildId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

class ToolkitTest : public ::testing::Test {
 protected:
  // Runs once per suite name; the class stays registered for the process.
  static void SetUpTestSuite() {
    g_hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(g_hInstance, kTestControlClass, &existing)) return;
    WNDCLASSEXW control{};
    control.cbSize = sizeof(control);
    control.lpfnWndProc = TestControlProc;
    control.hInstance = g_hInstance;
    control.lpszClassName = kTestControlClass;
    ASSERT_NE(RegisterClassExW(&control), 0);
  }

  void SetUp() override {
    ToolkitInit(g_hInstance);
    g_seen.clear();
  }

  void TearDown() override {
    ToolkitShutdown();
    EXPECT_EQ(Toolkit().head, nullptr);
    // A destroyed main window leaves WM_QUIT behind; the next test starts clean.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // A hidden top-level window of the toolkit class; the first one made in a
  // test is the main window.
  static void MakeTopLevel(FrameWindow& object, DWORD style = WS_OVERLAPPEDWINDOW) {
    object.Create(nullptr, L"top", style, nullptr, nullptr);
    ASSERT_NE(object.hwnd, nullptr);
  }
  static void MakeChild(FrameWindow& object, const wchar_t* classId, const wchar_t* text,
                        HWND parent, DWORD style = 0, int id = 1) {
    object.Create(classId, text, WS_CHILD | style, parent, ChildId(id));
    ASSERT_NE(object.hwnd, nullptr);
  }
};

using DispatchTest = ToolkitTest;

TEST_F(DispatchTest, AClickBubblesThroughEveryAncestorIntoTheControlsOwnProcedure) {
  RecordingWindow root("root");
  RecordingWindow middle("middle");
  FrameWindow control;
  MakeTopLevel(root);
  MakeChild(middle, nullptr, L"", root.hwnd);
  MakeChild(control, kTestControlClass, L"", middle.hwnd);
  g_seen.clear();

  SendMessageW(control.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));

  std::vector<Seen> expected{{"middle", control.hwnd, WM_LBUTTONDOWN},
                             {"root", control.hwnd, WM_LBUTTONDOWN},
                             {"control", control.hwnd, WM_LBUTTONDOWN}};
  EXPECT_EQ(g_seen, expected);
}

TEST_F(DispatchTest, FindsObjectsAndAncestorsByHandle) {
  FrameWindow root;
  FrameWindow child;
  MakeTopLevel(root);
  MakeChild(child, kClassStatic, L"x", root.hwnd);
  EXPECT_EQ(FrameWindow::FromHandle(nullptr), nullptr);
  EXPECT_EQ(FrameWindow::FromHandle(root.hwnd), &root);
  EXPECT_EQ(FrameWindow::FromHandle(child.hwnd), &child);
  EXPECT_EQ(NearestRegisteredAncestor(child.hwnd), &root);
  EXPECT_EQ(NearestRegisteredAncestor(root.hwnd), nullptr);  // never its own
  // Newest first.
  EXPECT_EQ(Toolkit().head, &child);
  EXPECT_EQ(child.next, &root);
}

TEST_F(DispatchTest, CreateSendsItsOwnCreateWithTheRequestedStyleAndAnswersIt) {
  RecordingWindow root("root");
  MakeTopLevel(root, WS_OVERLAPPEDWINDOW | 0x5A);
  // The system's WM_CREATE went past the object; only the toolkit's arrives,
  // carrying the low byte that the toolkit class did not get.
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0], (Seen{"root", root.hwnd, WM_CREATE}));
  EXPECT_EQ(root.createStyle, DWORD{WS_OVERLAPPEDWINDOW | 0x5A});
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(root.hwnd, GWL_STYLE)) & 0xFF, 0u);

  // A control's toolkit WM_CREATE bubbles to its ancestors and is answered by
  // the last stage, never by the control's previous procedure.
  g_seen.clear();
  FrameWindow control;
  EXPECT_EQ(control.Create(kTestControlClass, L"", WS_CHILD, root.hwnd, ChildId(3)), 1);
  std::vector<Seen> expected{{"control", control.hwnd, WM_CREATE},  // the system's
                             {"root", control.hwnd, WM_CREATE}};
  EXPECT_EQ(g_seen, expected);

  RecordingWindow answering("answering");
  answering.createAnswer = 5;
  EXPECT_EQ(answering.Create(nullptr, L"", WS_CHILD, root.hwnd, ChildId(4)), 5);
}

TEST_F(DispatchTest, CloseHidesAnyWindowButTheMainOne) {
  FrameWindow main;
  FrameWindow other;
  MakeTopLevel(main);
  MakeTopLevel(other, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(IsWindowVisible(other.hwnd));

  EXPECT_EQ(SendMessageW(other.hwnd, WM_CLOSE, 0, 0), 1);

  EXPECT_TRUE(IsWindow(other.hwnd));
  EXPECT_FALSE(IsWindowVisible(other.hwnd));
  EXPECT_EQ(FrameWindow::FromHandle(other.hwnd), &other);
  EXPECT_EQ(Toolkit().mainWindow, main.hwnd);
}

constexpr WPARAM kTimedOut = 99;
void CALLBACK QuitAsTimedOut(HWND, UINT, UINT_PTR, DWORD) {
  PostQuitMessage(static_cast<int>(kTimedOut));
}

TEST_F(DispatchTest, ClosingTheMainWindowEndsTheLoopAndEmptiesTheList) {
  FrameWindow main;
  FrameWindow label;
  FrameWindow control;
  MakeTopLevel(main);
  MakeChild(label, kClassStatic, L"label", main.hwnd);
  MakeChild(control, kTestControlClass, L"", main.hwnd, 0, 2);
  HWND handles[] = {main.hwnd, label.hwnd, control.hwnd};

  // Should the loop not end by itself, this ends it with a telling code.
  UINT_PTR timer = SetTimer(nullptr, 0, 10000, QuitAsTimedOut);
  PostMessageW(main.hwnd, WM_CLOSE, 0, 0);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(nullptr, timer);

  EXPECT_EQ(message.message, UINT{WM_QUIT});
  EXPECT_EQ(message.wParam, WPARAM{0});
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ(main.hwnd, nullptr);
  EXPECT_EQ(label.hwnd, nullptr);
  EXPECT_EQ(control.hwnd, nullptr);
  for (HWND handle : handles) EXPECT_FALSE(IsWindow(handle));
}

TEST_F(DispatchTest, ANotificationReachesTheControlThenTheParentsPreviousProcedureOnce) {
  RecordingWindow root("root");
  FrameWindow parent;  // a subclassed control with a previous procedure
  RecordingWindow notifier("notifier");
  MakeTopLevel(root);
  MakeChild(parent, kTestControlClass, L"", root.hwnd);
  MakeChild(notifier, kTestControlClass, L"", parent.hwnd, 0, 7);
  g_seen.clear();

  NMHDR header{notifier.hwnd, 7, 123};
  LRESULT answer = SendMessageW(parent.hwnd, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header));

  // Bubbling from the parent, reflected to the notifier's object, handed to
  // the parent's previous procedure: each once, the control's own never.
  std::vector<Seen> expected{{"root", parent.hwnd, WM_NOTIFY},
                             {"notifier", parent.hwnd, WM_NOTIFY},
                             {"control", parent.hwnd, WM_NOTIFY}};
  EXPECT_EQ(g_seen, expected);
  EXPECT_EQ(answer, kControlNotifyAnswer);
}

TEST_F(DispatchTest, ANotificationToAToolkitWindowEndsInTheDefaultProcedure) {
  RecordingWindow root("root");
  RecordingWindow notifier("notifier");
  MakeTopLevel(root);
  MakeChild(notifier, kTestControlClass, L"", root.hwnd, 0, 8);
  g_seen.clear();

  NMHDR header{notifier.hwnd, 8, 456};
  EXPECT_EQ(SendMessageW(root.hwnd, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header)), 0);

  std::vector<Seen> expected{{"root", root.hwnd, WM_NOTIFY}, {"notifier", root.hwnd, WM_NOTIFY}};
  EXPECT_EQ(g_seen, expected);
}

TEST_F(DispatchTest, PreTranslateAsksTheAncestorsAndDefaultsToZero) {
  RecordingWindow root("root");
  FrameWindow child;
  MakeTopLevel(root);
  MakeChild(child, kClassStatic, L"", root.hwnd);
  MSG message{};
  message.hwnd = child.hwnd;
  EXPECT_EQ(child.PreTranslateMessage(&message), 0);
  root.preTranslateAnswer = 7;
  EXPECT_EQ(child.PreTranslateMessage(&message), 7);
}

TEST_F(DispatchTest, ALinkStaticShowsTheHandAndAnswersSetCursor) {
  FrameWindow root;
  FrameWindow link;
  FrameWindow label;
  MakeTopLevel(root);
  MakeChild(link, kClassStatic, L"link", root.hwnd, SS_NOTIFY);
  MakeChild(label, kClassStatic, L"label", root.hwnd, 0, 2);
  HCURSOR hand = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
  EXPECT_EQ(link.cursor, hand);
  EXPECT_EQ(link.textColor, static_cast<int32_t>(RGB(0, 0, 255)));
  EXPECT_EQ(label.cursor, nullptr);

  EXPECT_EQ(SendMessageW(link.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.hwnd),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(GetCursor(), hand);
}

TEST_F(DispatchTest, AControlBeingConfiguredTalksToItsOwnProcedure) {
  FrameWindow root;
  FrameWindow control;
  MakeTopLevel(root);
  g_controlFont = nullptr;
  MakeChild(control, kTestControlClass, L"", root.hwnd);
  // Sent by Create after subclassing, before registration.
  EXPECT_EQ(g_controlFont, Toolkit().font.Get());
  EXPECT_EQ(control.font, Toolkit().font.Get());
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control.hwnd, GWLP_WNDPROC)),
            SharedWndProc);
  EXPECT_EQ(control.savedProc, TestControlProc);

  // Once registered, a new font is noted by the object and still reaches
  // the control.
  HFONT stock = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(stock), 0);
  EXPECT_EQ(control.font, stock);
  EXPECT_EQ(g_controlFont, stock);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control.hwnd, WM_GETFONT, 0, 0)), stock);
}

using LifecycleTest = ToolkitTest;

TEST_F(LifecycleTest, TheClassIsNamedPerModuleAndGoneAfterShutdown) {
  const wchar_t* expected = L"__TFRAME_WINDOW_CLASS__";
  std::wstring name = Toolkit().className;
  ASSERT_EQ(name.rfind(expected, 0), 0u);
  std::wstring digits = name.substr(wcslen(expected));
  EXPECT_FALSE(digits.empty());
  EXPECT_EQ(digits.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
  EXPECT_LE(digits.size(), 16u);

  FrameWindow root;
  MakeTopLevel(root);
  wchar_t actual[64] = {};
  GetClassNameW(root.hwnd, actual, 64);
  EXPECT_EQ(name, actual);
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetClassInfoExW(g_hInstance, name.c_str(), &info));
  EXPECT_EQ(info.style, UINT{CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS});
  EXPECT_EQ(info.hbrBackground, nullptr);

  ToolkitShutdown();
  EXPECT_EQ(root.hwnd, nullptr);
  EXPECT_EQ(Toolkit().font.Get(), nullptr);
  EXPECT_FALSE(GetClassInfoExW(g_hInstance, name.c_str(), &info));
}

using DestroyTest = ToolkitTest;

TEST_F(DestroyTest, OneRootWithTwoChildrenTakesOneDestroyCall) {
  FrameWindow root;
  FrameWindow first;
  FrameWindow second;
  MakeTopLevel(root);
  MakeChild(first, kClassStatic, L"1", root.hwnd);
  MakeChild(second, kClassEdit, L"2", root.hwnd, 0, 2);
  ASSERT_EQ(ListLength(), 3u);

  g_destroyCalls = 0;
  DestroyAllWindows(CountingDestroy);

  EXPECT_EQ(g_destroyCalls, 1);
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ(root.hwnd, nullptr);
  EXPECT_EQ(first.hwnd, nullptr);
  EXPECT_EQ(second.hwnd, nullptr);
}

TEST_F(DestroyTest, EndsEvenWhenAnObjectOutlivesItsWindow) {
  FrameWindow root;
  ContractBreaker child;
  ContractBreaker loner;
  MakeTopLevel(root);
  MakeChild(child, nullptr, L"", root.hwnd);
  MakeTopLevel(loner);

  g_destroyCalls = 0;
  DestroyAllWindows(CountingDestroy);

  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ(child.hwnd, nullptr);
  EXPECT_EQ(loner.hwnd, nullptr);
  // The loner, the root, then the child found still listed with a dead window.
  EXPECT_EQ(g_destroyCalls, 3);
}

TEST_F(DestroyTest, TheDestructorDestroysALiveWindow) {
  HWND handle;
  {
    FrameWindow root;
    MakeTopLevel(root);
    handle = root.hwnd;
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(Toolkit().head, nullptr);
}

// What the message box of a failed creation showed; read and dismissed by a
// thread timer, which the box's modal loop dispatches.
std::wstring g_boxCaption;
std::wstring g_boxText;

BOOL CALLBACK ReadBoxLine(HWND child, LPARAM) {
  wchar_t line[256] = {};
  GetWindowTextW(child, line, 256);
  if (wcsncmp(line, L"hi,", 3) == 0) g_boxText = line;
  return TRUE;
}

BOOL CALLBACK ReadAndDismissBox(HWND window, LPARAM) {
  wchar_t className[32] = {};
  GetClassNameW(window, className, 32);
  if (wcscmp(className, L"#32770") != 0) return TRUE;
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  g_boxCaption = caption;
  EnumChildWindows(window, ReadBoxLine, 0);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), ReadAndDismissBox, 0);
}

TEST_F(DestroyTest, AFailedCreationShowsTheBoxAndLeavesTheObjectUnregistered) {
  g_boxCaption.clear();
  g_boxText.clear();
  UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForBox);

  FrameWindow object;
  int result = object.Create(L"NoSuchClassAnywhere", L"", WS_CHILD, nullptr, nullptr);
  KillTimer(nullptr, timer);

  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(g_boxCaption, L"bug");
  EXPECT_EQ(g_boxText,
            L"hi,\r\n there is a window creation failed !\r\n please check its style carefully.");
  EXPECT_EQ(object.hwnd, nullptr);
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ(Toolkit().creating, nullptr);
}

using AutoSizeTest = ToolkitTest;

// Every kind of label and button the toolkit sizes: the margins around its
// text, the hand over the ones a user clicks, and a new text that resizes it
// where it stands.
TEST_F(AutoSizeTest, LabelsAndButtonsFitTheirTextWithTheMarginsOfTheirKind) {
  const struct {
    const wchar_t* classId;
    DWORD style;
    LONG extraWidth;
    LONG extraHeight;
    bool hand;
  } cases[] = {
      {kClassStatic, 0, 2, 2, false},
      {kClassButton, BS_PUSHBUTTON, 40, 8, true},
      {kClassButton, BS_3STATE, 40, 8, true},
      {kClassButton, BS_AUTO3STATE, 40, 8, true},
      {kClassButton, BS_CHECKBOX, 30, 2, true},
      {kClassButton, BS_AUTOCHECKBOX, 30, 2, true},
      {kClassButton, BS_RADIOBUTTON, 30, 2, true},
      {kClassButton, BS_AUTORADIOBUTTON, 30, 2, true},
      {kClassButton, BS_DEFPUSHBUTTON, 0, 0, false},
      {kClassButton, BS_GROUPBOX, 0, 0, false},
      {kClassButton, BS_OWNERDRAW, 0, 0, false},
  };
  FrameWindow root;
  MakeTopLevel(root);
  const HCURSOR hand = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.classId == kClassStatic ? -1 : static_cast<int>(c.style)));
    FrameWindow control;
    MakeChild(control, c.classId, L"Start", root.hwnd, c.style);
    SIZE text = control.MeasureText(L"Start");
    ASSERT_GT(text.cx, 0);
    ExpectSize(control.hwnd, text.cx + c.extraWidth, text.cy + c.extraHeight);
    EXPECT_EQ(control.AutoSize(), text.cx + c.extraWidth);
    EXPECT_EQ(control.cursor, c.hand ? hand : nullptr);

    control.SetPos(5, 7, 1, 1, SWP_NOREDRAW);
    SetWindowTextW(control.hwnd, L"A longer text");
    SIZE longer = control.MeasureText(L"A longer text");
    ExpectSize(control.hwnd, longer.cx + c.extraWidth, longer.cy + c.extraHeight);
    RECT rect;
    GetRectInParent(control.hwnd, &rect);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 7);
  }
}

TEST_F(AutoSizeTest, EditsGetMarginsAClientEdgeAndKeepTheirSizeOnNewText) {
  FrameWindow root;
  FrameWindow single;
  FrameWindow multi;
  MakeTopLevel(root);
  MakeChild(single, kClassEdit, nullptr, root.hwnd);
  MakeChild(multi, kClassEdit, nullptr, root.hwnd, ES_MULTILINE, 2);

  ExpectSize(single.hwnd, 8, 6);
  ExpectSize(multi.hwnd, 8, 6);
  EXPECT_EQ(SendMessageW(single.hwnd, EM_GETMARGINS, 0, 0), MAKELONG(2, 2));
  EXPECT_EQ(SendMessageW(multi.hwnd, EM_GETMARGINS, 0, 0), MAKELONG(8, 8));
  for (HWND edit : {single.hwnd, multi.hwnd}) {
    EXPECT_NE(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  }

  SetWindowTextW(single.hwnd, L"some text");
  ExpectSize(single.hwnd, 8, 6);
  SIZE text = single.MeasureText(L"some text");
  EXPECT_EQ(single.AutoSize(), text.cx + 8);
  ExpectSize(single.hwnd, text.cx + 8, text.cy + 6);
}

TEST_F(AutoSizeTest, OtherClassesAreNotResized) {
  FrameWindow root;
  FrameWindow ownCopy;
  MakeTopLevel(root);
  SIZE before = WindowSize(root.hwnd);
  SIZE x = root.MeasureText(L"x");
  EXPECT_EQ(root.AutoSize(L"x"), x.cx + 2);
  SIZE after = WindowSize(root.hwnd);
  EXPECT_EQ(after.cx, before.cx);
  EXPECT_EQ(after.cy, before.cy);

  // The same letters, but not the toolkit's identifier: no class rules.
  static const wchar_t kOwnStatic[] = L"STATIC";
  MakeChild(ownCopy, kOwnStatic, L"text", root.hwnd);
  ExpectSize(ownCopy.hwnd, 100, 100);
  EXPECT_EQ(ownCopy.AutoSize(), 0);
}

TEST_F(AutoSizeTest, TextHeightUsesTheSampleWhenGivenNoText) {
  FrameWindow root;
  MakeTopLevel(root);
  EXPECT_EQ(root.TextHeight(), root.MeasureText(L"Kestravo").cy);
  EXPECT_GT(root.TextHeight(), 0);
  EXPECT_EQ(root.TextHeight(L""), 0);
  SIZE none = root.MeasureText(nullptr);
  EXPECT_EQ(none.cx, 0);
  EXPECT_EQ(none.cy, 0);
  // Every window measures in the toolkit font, which it also reports.
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(root.hwnd, WM_GETFONT, 0, 0)),
            Toolkit().font.Get());
}

using ColourTest = ToolkitTest;

// A memory device context to receive colour replies and paint into.
class MemoryDC {
 public:
  MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~MemoryDC() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

LRESULT ColourMessage(HWND parent, UINT message, const MemoryDC& dc, HWND control) {
  return SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc.Get()),
                      reinterpret_cast<LPARAM>(control));
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH description{};
  GetObjectW(brush, sizeof(description), &description);
  return description.lbColor;
}

TEST_F(ColourTest, AChildStaticInheritsAndReusesItsBrushUntilTheColourChanges) {
  FrameWindow root;
  FrameWindow label;
  MakeTopLevel(root);
  MakeChild(label, kClassStatic, L"label", root.hwnd);
  EXPECT_EQ(label.backColor, COLOR_INHERIT);
  EXPECT_EQ(label.textColor, COLOR_INHERIT);
  MemoryDC dc;

  auto first =
      reinterpret_cast<HBRUSH>(ColourMessage(root.hwnd, WM_CTLCOLORSTATIC, dc, label.hwnd));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetBkMode(dc.Get()), TRANSPARENT);
  EXPECT_EQ(GetTextColor(dc.Get()), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(GetBkColor(dc.Get()), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(BrushColour(first), GetSysColor(COLOR_BTNFACE));

  auto again =
      reinterpret_cast<HBRUSH>(ColourMessage(root.hwnd, WM_CTLCOLORSTATIC, dc, label.hwnd));
  EXPECT_EQ(again, first);

  root.backColor = static_cast<int32_t>(RGB(1, 2, 3));
  auto changed =
      reinterpret_cast<HBRUSH>(ColourMessage(root.hwnd, WM_CTLCOLORSTATIC, dc, label.hwnd));
  EXPECT_NE(changed, first);
  EXPECT_EQ(GetObjectType(first), 0u);  // deleted
  EXPECT_EQ(BrushColour(changed), RGB(1, 2, 3));
  EXPECT_EQ(label.brushColor, RGB(1, 2, 3));
  EXPECT_EQ(label.brush.Get(), changed);
}

TEST_F(ColourTest, InheritanceSkipsInheritingAncestorsAndFallsBackToTheSystem) {
  FrameWindow root;
  FrameWindow panel;
  FrameWindow label;
  MakeTopLevel(root);
  MakeChild(panel, nullptr, L"", root.hwnd);
  MakeChild(label, kClassStatic, L"label", panel.hwnd);
  root.backColor = static_cast<int32_t>(RGB(10, 20, 30));
  root.textColor = static_cast<int32_t>(RGB(40, 50, 60));
  EXPECT_EQ(ResolveBackColor(label), RGB(10, 20, 30));
  EXPECT_EQ(ResolveTextColor(label), RGB(40, 50, 60));

  panel.textColor = static_cast<int32_t>(RGB(7, 8, 9));
  EXPECT_EQ(ResolveTextColor(label), RGB(7, 8, 9));

  root.backColor = COLOR_INHERIT;
  root.textColor = COLOR_INHERIT;
  panel.textColor = COLOR_INHERIT;
  EXPECT_EQ(ResolveBackColor(label), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ResolveTextColor(label), GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(ColourTest, FieldsAreWindowColouredAndEditsPaintOpaque) {
  FrameWindow root;
  FrameWindow edit;
  FrameWindow progress;
  MakeTopLevel(root);
  MakeChild(edit, kClassEdit, L"", root.hwnd);
  MakeChild(progress, kClassProgress, L"", root.hwnd, 0, 2);
  EXPECT_EQ(edit.backColor, static_cast<int32_t>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(progress.backColor, static_cast<int32_t>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(root.backColor, static_cast<int32_t>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(root.textColor, static_cast<int32_t>(GetSysColor(COLOR_WINDOWTEXT)));

  MemoryDC dc;
  SetBkMode(dc.Get(), OPAQUE);
  auto brush = reinterpret_cast<HBRUSH>(ColourMessage(root.hwnd, WM_CTLCOLOREDIT, dc, edit.hwnd));
  EXPECT_EQ(GetBkMode(dc.Get()), OPAQUE);
  EXPECT_EQ(BrushColour(brush), GetSysColor(COLOR_WINDOW));
}

TEST_F(ColourTest, TheBackgroundIsPaintedInTheResolvedColour) {
  FrameWindow root;
  FrameWindow panel;
  MakeTopLevel(root);
  MakeChild(panel, nullptr, L"", root.hwnd);
  root.backColor = static_cast<int32_t>(RGB(200, 100, 50));
  MemoryDC dc;
  HGDIOBJ brushBefore = GetCurrentObject(dc.Get(), OBJ_BRUSH);

  EXPECT_EQ(SendMessageW(panel.hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0), 1);

  EXPECT_EQ(GetPixel(dc.Get(), 0, 0), RGB(200, 100, 50));
  EXPECT_EQ(GetPixel(dc.Get(), 3, 3), RGB(200, 100, 50));
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brushBefore);
}

using LayoutTest = ToolkitTest;

TEST_F(LayoutTest, SetPosInvalidatesUnlessToldNotTo) {
  FrameWindow root;
  FrameWindow control;
  MakeTopLevel(root, WS_POPUP | WS_VISIBLE);
  root.SetPos(0, 0, 200, 200, SWP_NOREDRAW);
  MakeChild(control, kTestControlClass, L"", root.hwnd, WS_VISIBLE);
  RECT rect;

  // Same place and size: nothing the system would redraw by itself.
  ValidateRect(control.hwnd, nullptr);
  EXPECT_NE(control.SetPos(10, 20, 30, 40, SWP_NOREDRAW), 0);
  EXPECT_EQ(g_lastPositionFlags & SWP_NOREDRAW, 0u);
  EXPECT_NE(g_lastPositionFlags & SWP_NOZORDER, 0u);
  UpdateWindow(root.hwnd);
  ValidateRect(control.hwnd, nullptr);
  control.SetPos(10, 20, 30, 40, SWP_NOREDRAW);
  EXPECT_FALSE(GetUpdateRect(control.hwnd, &rect, FALSE));

  EXPECT_NE(control.SetPos(10, 20, 30, 40, 0), 0);
  EXPECT_NE(g_lastPositionFlags & SWP_NOZORDER, 0u);
  ASSERT_TRUE(GetUpdateRect(control.hwnd, &rect, FALSE));
  EXPECT_EQ(rect.right - rect.left, 30);
  EXPECT_EQ(rect.bottom - rect.top, 40);

  GetRectInParent(control.hwnd, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 40);
  EXPECT_EQ(rect.bottom, 60);
}

TEST_F(LayoutTest, RectanglesOfTopLevelAndMissingWindows) {
  FrameWindow root;
  MakeTopLevel(root);
  root.SetPos(30, 40, 150, 120, SWP_NOREDRAW);
  RECT inParent;
  RECT onScreen;
  GetRectInParent(root.hwnd, &inParent);
  GetWindowRect(root.hwnd, &onScreen);
  EXPECT_TRUE(EqualRect(&inParent, &onScreen));

  RECT missing{1, 2, 3, 4};
  GetRectInParent(nullptr, &missing);
  EXPECT_TRUE(IsRectEmpty(&missing));
}

}  // namespace
