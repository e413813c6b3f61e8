// How the toolkit sizes a control to its text and which buttons show the hand
// cursor: pure rules, kept apart from the Win32 calls that apply them.
#pragma once

#include <cstdint>

// What the toolkit knows about a window's class.
enum class ControlKind {
  kToolkitClass,  // a window of the toolkit's own class
  kStatic,
  kButton,
  kEdit,
  kOther,  // any other control, including a caller's own copy of a class text
};

// Margins added to a measured text extent. `resizes`: the window takes the
// new size; `reportsWidth`: AutoSize answers the padded width, else 0.
struct SizeRule {
  bool resizes;
  bool reportsWidth;
  int32_t extraWidth;
  int32_t extraHeight;
};

// `buttonKind` is the button style AND 0xF (BS_PUSHBUTTON ... BS_AUTORADIOBUTTON);
// it only matters for kButton.
constexpr SizeRule AutoSizeRule(ControlKind kind, uint32_t buttonKind) {
  switch (kind) {
    case ControlKind::kToolkitClass:
      return {false, true, 2, 0};
    case ControlKind::kEdit:
      return {true, true, 8, 6};
    case ControlKind::kStatic:
      return {true, true, 2, 2};
    case ControlKind::kButton:
      switch (buttonKind) {
        case 0:  // push button
        case 5:  // three-state check box
        case 6:  // automatic three-state check box
          return {true, true, 40, 8};
        case 2:  // check box
        case 3:  // automatic check box
        case 4:  // radio button
        case 9:  // automatic radio button
          return {true, true, 30, 2};
        default:  // default push button, group box, owner-drawn, ...
          return {true, true, 0, 0};
      }
    case ControlKind::kOther:
      break;
  }
  return {false, false, 0, 0};
}

// Buttons a user clicks get the hand; the default push button keeps the
// arrow, like group boxes and owner-drawn buttons.
constexpr bool ButtonShowsHand(uint32_t buttonKind) {
  switch (buttonKind) {
    case 0:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 9:
      return true;
    default:
      return false;
  }
}
