// The window toolkit and the GDI owners on hidden windows under Wine.
#include "ui/win32/toolkit.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/win32/colours.h"
#include "ui/win32/window_list.h"

namespace {

// What a window procedure saw: who, for which window, which message.
using Seen = std::tuple<std::string, HWND, UINT>;
std::vector<Seen> g_seen;
UINT g_lastPositionFlags = 0;   // of the test control's last WM_WINDOWPOSCHANGING
HFONT g_controlFont = nullptr;  // of the last WM_SETFONT that reached the test control
constexpr LRESULT kControlNotifyAnswer = 77;
constexpr wchar_t kTestControlClass[] = L"ToolkitTestControl";

bool Noted(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_NOTIFY || message == WM_CREATE;
}

// The procedure of a control class of the test's own, standing in for a
// standard control: it shows what reaches a control's previous procedure.
LRESULT CALLBACK TestControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFONT) g_controlFont = reinterpret_cast<HFONT>(wParam);
  if (message == WM_WINDOWPOSCHANGING) {
    g_lastPositionFlags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
  }
  if (Noted(message)) g_seen.push_back({"control", window, message});
  if (message == WM_NOTIFY) return kControlNotifyAnswer;
  return DefWindowProcW(window, message, wParam, lParam);
}

// Notes the messages of interest, then behaves as the base, as the contract
// asks; unless it breaks the contract on purpose, keeping WM_NCDESTROY from
// the base, so that its object stays listed after its window is gone.
class RecordingWindow : public FrameWindow {
 public:
  explicit RecordingWindow(const char* name = "", bool breaker = false)
      : name_(name), breaker_(breaker) {}
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (breaker_ && message == WM_NCDESTROY) return DefWindowProcW(window, message, wParam, lParam);
    if (Noted(message)) g_seen.push_back({name_, window, message});
    if (message == WM_CREATE && window == hwnd) {
      createStyle = static_cast<DWORD>(wParam);
      if (createAnswer != 0) return createAnswer;
    }
    return FrameWindow::WindowProc(window, message, wParam, lParam);
  }
  int PreTranslateMessage(MSG* message) override {
    return preTranslateAnswer != 0 ? preTranslateAnswer : FrameWindow::PreTranslateMessage(message);
  }
  DWORD createStyle = 0;
  LRESULT createAnswer = 0;
  int preTranslateAnswer = 0;

 private:
  const char* name_;
  bool breaker_;
};

int g_destroyCalls = 0;
BOOL WINAPI CountingDestroy(HWND window) {
  ++g_destroyCalls;
  return DestroyWindow(window);
}

using Extent = std::pair<LONG, LONG>;
Extent WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

HCURSOR Hand() { return LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)); }

class ToolkitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW control{};
    control.lpfnWndProc = TestControlProc;
    control.hInstance = GetModuleHandleW(nullptr);
    control.lpszClassName = kTestControlClass;
    ASSERT_NE(RegisterClassW(&control), 0);
  }
  void SetUp() override {
    ToolkitInit(GetModuleHandleW(nullptr));
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
  // A hidden top-level window of the toolkit class; the first in a test is the main one.
  static void Top(FrameWindow& object, DWORD style = WS_OVERLAPPEDWINDOW) {
    object.Create(nullptr, L"top", style, nullptr, nullptr);
    ASSERT_NE(object.hwnd, nullptr);
  }
  static void Child(FrameWindow& object, const wchar_t* classId, HWND parent, DWORD style = 0,
                    const wchar_t* text = L"") {
    object.Create(classId, text, WS_CHILD | style, parent, nullptr);
    ASSERT_NE(object.hwnd, nullptr);
  }
};

TEST_F(ToolkitTest, FindsObjectsBubblesClicksAndAsksAncestorsToPreTranslate) {
  RecordingWindow root("root");
  RecordingWindow middle("middle");
  FrameWindow control;
  Top(root);
  Child(middle, nullptr, root.hwnd);
  Child(control, kTestControlClass, middle.hwnd);
  EXPECT_EQ(FrameWindow::FromHandle(nullptr), nullptr);
  EXPECT_EQ(FrameWindow::FromHandle(root.hwnd), &root);
  EXPECT_EQ(FrameWindow::FromHandle(control.hwnd), &control);
  EXPECT_EQ(NearestRegisteredAncestor(control.hwnd), &middle);
  EXPECT_EQ(NearestRegisteredAncestor(root.hwnd), nullptr);  // never its own
  EXPECT_EQ(Toolkit().head, &control);                       // newest first
  EXPECT_EQ(control.next, &middle);
  g_seen.clear();

  SendMessageW(control.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  std::vector<Seen> expected{{"middle", control.hwnd, WM_LBUTTONDOWN},
                             {"root", control.hwnd, WM_LBUTTONDOWN},
                             {"control", control.hwnd, WM_LBUTTONDOWN}};
  EXPECT_EQ(g_seen, expected);

  MSG message{};
  message.hwnd = control.hwnd;
  EXPECT_EQ(control.PreTranslateMessage(&message), 0);
  root.preTranslateAnswer = 7;
  EXPECT_EQ(control.PreTranslateMessage(&message), 7);
}

TEST_F(ToolkitTest, CreateSendsItsOwnCreateWithTheRequestedStyleAndAnswersIt) {
  RecordingWindow root("root");
  Top(root, WS_OVERLAPPEDWINDOW | 0x5A);
  // The system's WM_CREATE went past the object; only the toolkit's arrives,
  // carrying the low byte that the toolkit class did not get.
  EXPECT_EQ(g_seen, (std::vector<Seen>{{"root", root.hwnd, WM_CREATE}}));
  EXPECT_EQ(root.createStyle, DWORD{WS_OVERLAPPEDWINDOW | 0x5A});
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(root.hwnd, GWL_STYLE)) & 0xFF, 0u);

  // A control's toolkit WM_CREATE bubbles to its ancestors and is answered by
  // the last stage, never by the control's previous procedure.
  g_seen.clear();
  FrameWindow control;
  EXPECT_EQ(control.Create(kTestControlClass, L"", WS_CHILD, root.hwnd, nullptr), 1);
  std::vector<Seen> expected{{"control", control.hwnd, WM_CREATE},  // the system's
                             {"root", control.hwnd, WM_CREATE}};
  EXPECT_EQ(g_seen, expected);

  RecordingWindow answering("answering");
  answering.createAnswer = 5;
  EXPECT_EQ(answering.Create(nullptr, L"", WS_CHILD, root.hwnd, nullptr), 5);
}

constexpr WPARAM kTimedOut = 99;
void CALLBACK QuitAsTimedOut(HWND, UINT, UINT_PTR, DWORD) {
  PostQuitMessage(static_cast<int>(kTimedOut));
}

TEST_F(ToolkitTest, CloseHidesAnyWindowButTheMainOneWhichEndsTheLoop) {
  FrameWindow main, label, control, other;
  Top(main);
  Child(label, kClassStatic, main.hwnd, 0, L"label");
  Child(control, kTestControlClass, main.hwnd);
  Top(other, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  EXPECT_EQ(SendMessageW(other.hwnd, WM_CLOSE, 0, 0), 1);
  EXPECT_TRUE(IsWindow(other.hwnd));
  EXPECT_FALSE(IsWindowVisible(other.hwnd));
  EXPECT_EQ(FrameWindow::FromHandle(other.hwnd), &other);
  EXPECT_EQ(Toolkit().mainWindow, main.hwnd);
  DestroyWindow(other.hwnd);

  HWND handles[] = {main.hwnd, label.hwnd, control.hwnd};
  UINT_PTR timer = SetTimer(nullptr, 0, 10000, QuitAsTimedOut);  // should the loop not end
  PostMessageW(main.hwnd, WM_CLOSE, 0, 0);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  KillTimer(nullptr, timer);
  EXPECT_EQ(message.message, UINT{WM_QUIT});
  EXPECT_EQ(message.wParam, WPARAM{0});
  EXPECT_EQ(Toolkit().head, nullptr);
  for (HWND handle : handles) EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ((std::vector<HWND>{main.hwnd, label.hwnd, control.hwnd}), std::vector<HWND>(3));
}

TEST_F(ToolkitTest, ANotificationIsReflectedToItsControlAndHandledOnce) {
  RecordingWindow root("root");
  FrameWindow parent;  // a subclassed control with a previous procedure
  RecordingWindow notifier("notifier");
  RecordingWindow sibling("sibling");
  Top(root);
  Child(parent, kTestControlClass, root.hwnd);
  Child(notifier, kTestControlClass, parent.hwnd);
  Child(sibling, kTestControlClass, root.hwnd);
  g_seen.clear();

  // Bubbling from the parent, reflected to the notifier's object, handed to
  // the parent's previous procedure: each once, the notifier's own never.
  NMHDR header{notifier.hwnd, 7, 123};
  EXPECT_EQ(SendMessageW(parent.hwnd, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)),
            kControlNotifyAnswer);
  std::vector<Seen> expected{{"root", parent.hwnd, WM_NOTIFY},
                             {"notifier", parent.hwnd, WM_NOTIFY},
                             {"control", parent.hwnd, WM_NOTIFY}};
  EXPECT_EQ(g_seen, expected);

  // To a toolkit window, it ends in the default procedure.
  g_seen.clear();
  header = {sibling.hwnd, 8, 456};
  EXPECT_EQ(SendMessageW(root.hwnd, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header)), 0);
  expected = {{"root", root.hwnd, WM_NOTIFY}, {"sibling", root.hwnd, WM_NOTIFY}};
  EXPECT_EQ(g_seen, expected);
}

TEST_F(ToolkitTest, ControlsAreConfiguredThroughTheirOwnProcedureAndLinksShowTheHand) {
  FrameWindow root, link, label, control;
  Top(root);
  Child(link, kClassStatic, root.hwnd, SS_NOTIFY, L"link");
  Child(label, kClassStatic, root.hwnd, 0, L"label");
  EXPECT_EQ(link.cursor, Hand());
  EXPECT_EQ(link.textColor, static_cast<int32_t>(RGB(0, 0, 255)));
  EXPECT_EQ(label.cursor, nullptr);
  EXPECT_EQ(SendMessageW(link.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.hwnd),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(GetCursor(), Hand());

  g_controlFont = nullptr;
  Child(control, kTestControlClass, root.hwnd);
  // Sent by Create after subclassing, before registration.
  EXPECT_EQ(g_controlFont, Toolkit().font.Get());
  EXPECT_EQ(control.font, Toolkit().font.Get());
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control.hwnd, GWLP_WNDPROC)),
            SharedWndProc);
  EXPECT_EQ(control.savedProc, TestControlProc);
  // Once registered, a new font is noted by the object and still reaches the control.
  HFONT stock = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(stock), 0);
  EXPECT_EQ(control.font, stock);
  EXPECT_EQ(g_controlFont, stock);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control.hwnd, WM_GETFONT, 0, 0)), stock);
}

TEST_F(ToolkitTest, TheClassIsNamedPerModuleAndGoneAfterShutdown) {
  const std::wstring name = Toolkit().className;
  EXPECT_TRUE(std::regex_match(name, std::wregex(L"__TFRAME_WINDOW_CLASS__[0-9a-f]{1,16}")));
  FrameWindow root;
  Top(root);
  wchar_t actual[64] = {};
  GetClassNameW(root.hwnd, actual, 64);
  EXPECT_EQ(name, actual);
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &info));
  EXPECT_EQ(info.style, UINT{CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS});
  EXPECT_EQ(info.hbrBackground, nullptr);

  ToolkitShutdown();
  EXPECT_EQ(root.hwnd, nullptr);
  EXPECT_EQ(Toolkit().font.Get(), nullptr);
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &info));
}

TEST_F(ToolkitTest, DestructionTakesOneCallPerRootAndEndsWhateverAnObjectDoes) {
  HWND handle;
  {
    FrameWindow dying;
    Top(dying);
    handle = dying.hwnd;
  }
  EXPECT_FALSE(IsWindow(handle));  // the destructor's work
  EXPECT_EQ(Toolkit().head, nullptr);

  FrameWindow root, first, second;
  Top(root);
  Child(first, kClassStatic, root.hwnd);
  Child(second, kClassEdit, root.hwnd);
  g_destroyCalls = 0;
  DestroyAllWindows(CountingDestroy);
  EXPECT_EQ(g_destroyCalls, 1);
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ((std::vector<HWND>{root.hwnd, first.hwnd, second.hwnd}), std::vector<HWND>(3));

  RecordingWindow child("", true), loner("", true);
  Top(root);
  Child(child, nullptr, root.hwnd);
  Top(loner);
  g_destroyCalls = 0;
  DestroyAllWindows(CountingDestroy);
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ((std::vector<HWND>{child.hwnd, loner.hwnd}), std::vector<HWND>(2));
  // The loner, the root, then the child found still listed with a dead window.
  EXPECT_EQ(g_destroyCalls, 3);
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
  wchar_t text[64] = {};
  GetClassNameW(window, text, 64);
  if (wcscmp(text, L"#32770") != 0) return TRUE;
  GetWindowTextW(window, text, 64);
  g_boxCaption = text;
  EnumChildWindows(window, ReadBoxLine, 0);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), ReadAndDismissBox, 0);
}

TEST_F(ToolkitTest, AFailedCreationShowsTheBoxAndLeavesTheObjectUnregistered) {
  UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForBox);
  FrameWindow object;
  EXPECT_EQ(object.Create(L"NoSuchClassAnywhere", L"", WS_CHILD, nullptr, nullptr), IDOK);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_boxCaption, L"bug");
  EXPECT_EQ(g_boxText,
            L"hi,\r\n there is a window creation failed !\r\n please check its style carefully.");
  EXPECT_EQ(object.hwnd, nullptr);
  EXPECT_EQ(Toolkit().head, nullptr);
  EXPECT_EQ(Toolkit().creating, nullptr);
}

// Every kind of label and button the toolkit sizes: the margins around its
// text, the hand over the ones a user clicks, and a new text that resizes it
// where it stands.
TEST_F(ToolkitTest, LabelsAndButtonsFitTheirTextWithTheMarginsOfTheirKind) {
  const struct {
    const wchar_t* classId;
    std::vector<DWORD> styles;
    LONG extraWidth, extraHeight;
    bool hand;
  } kinds[] = {
      {kClassStatic, {0}, 2, 2, false},
      {kClassButton, {BS_PUSHBUTTON, BS_3STATE, BS_AUTO3STATE}, 40, 8, true},
      {kClassButton, {BS_CHECKBOX, BS_AUTOCHECKBOX}, 30, 2, true},
      {kClassButton, {BS_RADIOBUTTON, BS_AUTORADIOBUTTON}, 30, 2, true},
      {kClassButton, {BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_OWNERDRAW}, 0, 0, false},
  };
  FrameWindow root;
  Top(root);
  for (const auto& c : kinds) {
    for (DWORD style : c.styles) {
      SCOPED_TRACE(std::to_string(c.classId == kClassStatic ? -1 : static_cast<int>(style)));
      FrameWindow control;
      Child(control, c.classId, root.hwnd, style, L"Start");
      SIZE text = control.MeasureText(L"Start");
      ASSERT_GT(text.cx, 0);
      EXPECT_EQ(WindowSize(control.hwnd), Extent(text.cx + c.extraWidth, text.cy + c.extraHeight));
      EXPECT_EQ(control.AutoSize(), text.cx + c.extraWidth);
      EXPECT_EQ(control.cursor, c.hand ? Hand() : nullptr);

      control.SetPos(5, 7, 1, 1, SWP_NOREDRAW);
      SetWindowTextW(control.hwnd, L"A longer text");
      SIZE longer = control.MeasureText(L"A longer text");
      EXPECT_EQ(WindowSize(control.hwnd),
                Extent(longer.cx + c.extraWidth, longer.cy + c.extraHeight));
      RECT rect;
      GetRectInParent(control.hwnd, &rect);
      EXPECT_EQ(Extent(rect.left, rect.top), Extent(5, 7));
    }
  }
}

TEST_F(ToolkitTest, EditsGetMarginsAndAnEdgeOtherClassesKeepTheirSize) {
  FrameWindow root, single, multi, ownCopy;
  Top(root);
  Child(single, kClassEdit, root.hwnd, 0, nullptr);
  Child(multi, kClassEdit, root.hwnd, ES_MULTILINE, nullptr);
  EXPECT_EQ(WindowSize(single.hwnd), Extent(8, 6));
  EXPECT_EQ(WindowSize(multi.hwnd), Extent(8, 6));
  EXPECT_EQ(SendMessageW(single.hwnd, EM_GETMARGINS, 0, 0), MAKELONG(2, 2));
  EXPECT_EQ(SendMessageW(multi.hwnd, EM_GETMARGINS, 0, 0), MAKELONG(8, 8));
  for (HWND edit : {single.hwnd, multi.hwnd}) {
    EXPECT_NE(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  }
  SetWindowTextW(single.hwnd, L"some text");  // an edit keeps its size on a new text
  EXPECT_EQ(WindowSize(single.hwnd), Extent(8, 6));
  SIZE text = single.MeasureText(L"some text");
  EXPECT_EQ(single.AutoSize(), text.cx + 8);
  EXPECT_EQ(WindowSize(single.hwnd), Extent(text.cx + 8, text.cy + 6));

  // The toolkit class answers a width but keeps its size.
  Extent before = WindowSize(root.hwnd);
  EXPECT_EQ(root.AutoSize(L"x"), root.MeasureText(L"x").cx + 2);
  EXPECT_EQ(WindowSize(root.hwnd), before);
  // The same letters, but not the toolkit's identifier: no class rules.
  static const wchar_t kOwnStatic[] = L"STATIC";
  Child(ownCopy, kOwnStatic, root.hwnd, 0, L"text");
  EXPECT_EQ(WindowSize(ownCopy.hwnd), Extent(100, 100));
  EXPECT_EQ(ownCopy.AutoSize(), 0);

  EXPECT_EQ(root.TextHeight(), root.MeasureText(L"Kestravo").cy);
  EXPECT_GT(root.TextHeight(), 0);
  EXPECT_EQ(root.TextHeight(L""), 0);
  SIZE none = root.MeasureText(nullptr);
  EXPECT_EQ(Extent(none.cx, none.cy), Extent(0, 0));
  // Every window measures in the toolkit font, which it also reports.
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(root.hwnd, WM_GETFONT, 0, 0)),
            Toolkit().font.Get());
}

// A memory device context with a small colour bitmap, to receive colour
// replies and paint into.
struct MemoryDC {
  MemoryDC() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
  }
  ~MemoryDC() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HBRUSH Reply(HWND parent, UINT message, HWND control) const {
    return reinterpret_cast<HBRUSH>(SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control)));
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ previous;
};

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH description{};
  GetObjectW(brush, sizeof(description), &description);
  return description.lbColor;
}

TEST_F(ToolkitTest, ColourRepliesInheritReuseTheirBrushAndPaintEditsOpaque) {
  FrameWindow root, label, edit, progress;
  Top(root);
  Child(label, kClassStatic, root.hwnd, 0, L"label");
  Child(edit, kClassEdit, root.hwnd);
  Child(progress, kClassProgress, root.hwnd);
  // Children inherit, fields are window-coloured, top-level windows are buttons' colour.
  const auto system = [](int index) { return static_cast<int32_t>(GetSysColor(index)); };
  EXPECT_EQ((std::vector{label.backColor, label.textColor, edit.backColor, progress.backColor,
                         root.backColor, root.textColor}),
            (std::vector{COLOR_INHERIT, COLOR_INHERIT, system(COLOR_WINDOW), system(COLOR_WINDOW),
                         system(COLOR_BTNFACE), system(COLOR_WINDOWTEXT)}));

  MemoryDC dc;
  HBRUSH first = dc.Reply(root.hwnd, WM_CTLCOLORSTATIC, label.hwnd);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetBkMode(dc.dc), TRANSPARENT);
  EXPECT_EQ(GetTextColor(dc.dc), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(GetBkColor(dc.dc), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(BrushColour(first), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(dc.Reply(root.hwnd, WM_CTLCOLORSTATIC, label.hwnd), first);

  root.backColor = static_cast<int32_t>(RGB(1, 2, 3));
  HBRUSH changed = dc.Reply(root.hwnd, WM_CTLCOLORSTATIC, label.hwnd);
  EXPECT_NE(changed, first);
  EXPECT_EQ(GetObjectType(first), 0u);  // deleted
  EXPECT_EQ(BrushColour(changed), RGB(1, 2, 3));
  EXPECT_EQ(label.brushColor, RGB(1, 2, 3));
  EXPECT_EQ(label.brush.Get(), changed);

  SetBkMode(dc.dc, OPAQUE);
  EXPECT_EQ(BrushColour(dc.Reply(root.hwnd, WM_CTLCOLOREDIT, edit.hwnd)),
            GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(GetBkMode(dc.dc), OPAQUE);
}

TEST_F(ToolkitTest, ColoursComeFromTheNearestConcreteAncestorAndPaintTheBackground) {
  FrameWindow root, panel, label;
  Top(root);
  Child(panel, nullptr, root.hwnd);
  Child(label, kClassStatic, panel.hwnd, 0, L"label");
  root.backColor = static_cast<int32_t>(RGB(10, 20, 30));
  root.textColor = static_cast<int32_t>(RGB(40, 50, 60));
  EXPECT_EQ(ResolveBackColor(label), RGB(10, 20, 30));
  EXPECT_EQ(ResolveTextColor(label), RGB(40, 50, 60));
  panel.textColor = static_cast<int32_t>(RGB(7, 8, 9));
  EXPECT_EQ(ResolveTextColor(label), RGB(7, 8, 9));

  MemoryDC dc;
  HGDIOBJ brushBefore = GetCurrentObject(dc.dc, OBJ_BRUSH);
  EXPECT_EQ(SendMessageW(panel.hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.dc), 0), 1);
  EXPECT_EQ(GetPixel(dc.dc, 0, 0), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(dc.dc, 3, 3), RGB(10, 20, 30));
  EXPECT_EQ(GetCurrentObject(dc.dc, OBJ_BRUSH), brushBefore);

  root.backColor = root.textColor = panel.textColor = COLOR_INHERIT;
  EXPECT_EQ(ResolveBackColor(label), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ResolveTextColor(label), GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(ToolkitTest, SetPosInvalidatesUnlessToldNotToAndRectanglesAreInTheParent) {
  FrameWindow root, control;
  Top(root, WS_POPUP | WS_VISIBLE);
  root.SetPos(30, 40, 200, 200, SWP_NOREDRAW);
  RECT rect, onScreen;
  GetRectInParent(root.hwnd, &rect);  // a top-level window's is on the screen
  GetWindowRect(root.hwnd, &onScreen);
  EXPECT_TRUE(EqualRect(&rect, &onScreen));
  Child(control, kTestControlClass, root.hwnd, WS_VISIBLE);

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
  EXPECT_EQ(Extent(rect.right - rect.left, rect.bottom - rect.top), Extent(30, 40));
  GetRectInParent(control.hwnd, &rect);
  const RECT inParent{10, 20, 40, 60};
  EXPECT_TRUE(EqualRect(&rect, &inParent));

  RECT missing{1, 2, 3, 4};
  GetRectInParent(nullptr, &missing);
  EXPECT_TRUE(IsRectEmpty(&missing));
}

TEST(GdiHandlesTest, OwnersDeleteTheirObjectsAndTheGuardPutsBackWhatItReplaced) {
  LOGFONTW description{};
  description.lfHeight = 12;
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HFONT font = CreateFontIndirectW(&description);
  ASSERT_TRUE(GetObjectType(brush) != 0 && GetObjectType(font) != 0);
  {
    UniqueBrush brushOwner(brush);
    UniqueFont fontOwner(font);
  }
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_EQ(GetObjectType(font), 0u);

  // Moves and resets are the template's, tested in tests/unit.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = GetCurrentObject(dc, OBJ_BRUSH);
  UniqueBrush owned(CreateSolidBrush(RGB(9, 9, 9)));
  {
    SelectGuard selected(dc, owned.Get());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), owned.Get());
    SelectGuard nothing(dc, nullptr);  // selects nothing, so puts back nothing
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), owned.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), original);
  DeleteDC(dc);
}

}  // namespace
