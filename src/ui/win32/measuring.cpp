// Text measurement in a window's font and sizing of controls to their text.
#include <cwchar>
#include <vector>

#include "ui/control_rules.h"
#include "ui/win32/toolkit.h"

namespace {

// An ordinary word with a capital and ascenders: its height is the row
// height callers lay their windows out with.
constexpr wchar_t kSampleText[] = L"Kestravo";

ControlKind KindOf(const wchar_t* classId) {
  if (classId == nullptr) return ControlKind::kToolkitClass;
  if (classId == kClassStatic) return ControlKind::kStatic;
  if (classId == kClassButton) return ControlKind::kButton;
  if (classId == kClassEdit) return ControlKind::kEdit;
  return ControlKind::kOther;
}

}  // namespace

SIZE FrameWindow::MeasureText(const wchar_t* text) {
  SIZE extent{0, 0};
  if (text == nullptr || text[0] == L'\0') return extent;
  WindowDC dc(hwnd);
  if (!dc) return extent;
  SelectGuard selected(dc.Get(), font);
  size_t length = wcslen(text);
  constexpr size_t kMaxLength = 0x7FFFFFFF;
  GetTextExtentPoint32W(dc.Get(), text, static_cast<int>(length < kMaxLength ? length : kMaxLength),
                        &extent);
  return extent;
}

SIZE FrameWindow::MeasureOwnText() {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return SIZE{0, 0};
  // The length may be an overestimate for some controls, never an
  // underestimate; the slack keeps a text that grew meanwhile terminated.
  std::vector<wchar_t> text(static_cast<size_t>(length) + 8);
  GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
  return MeasureText(text.data());
}

int FrameWindow::TextHeight(const wchar_t* text) {
  return MeasureText(text != nullptr ? text : kSampleText).cy;
}

int FrameWindow::AutoSize(const wchar_t* text) {
  SIZE extent = text != nullptr ? MeasureText(text) : MeasureOwnText();
  uint32_t buttonKind = static_cast<uint32_t>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & 0xF;
  SizeRule rule = AutoSizeRule(KindOf(className), buttonKind);
  int width = extent.cx + rule.extraWidth;
  if (rule.resizes) SetPos(0, 0, width, extent.cy + rule.extraHeight, SWP_NOMOVE);
  return rule.reportsWidth ? width : 0;
}
