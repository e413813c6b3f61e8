#include "ui/control_rules.h"

#include <gtest/gtest.h>

namespace {

struct Margins {
  bool resizes;
  bool reportsWidth;
  int32_t width;
  int32_t height;
};

void ExpectRule(ControlKind kind, uint32_t buttonKind, Margins expected) {
  SizeRule rule = AutoSizeRule(kind, buttonKind);
  EXPECT_EQ(rule.resizes, expected.resizes) << "button kind " << buttonKind;
  EXPECT_EQ(rule.reportsWidth, expected.reportsWidth) << "button kind " << buttonKind;
  EXPECT_EQ(rule.extraWidth, expected.width) << "button kind " << buttonKind;
  EXPECT_EQ(rule.extraHeight, expected.height) << "button kind " << buttonKind;
}

TEST(AutoSizeRuleTest, LabelsFieldsAndToolkitWindows) {
  ExpectRule(ControlKind::kStatic, 0, {true, true, 2, 2});
  ExpectRule(ControlKind::kEdit, 0, {true, true, 8, 6});
  // A toolkit window reports its text width but keeps its size.
  ExpectRule(ControlKind::kToolkitClass, 0, {false, true, 2, 0});
  ExpectRule(ControlKind::kOther, 0, {false, false, 0, 0});
  // The button kind only matters for buttons.
  ExpectRule(ControlKind::kStatic, 2, {true, true, 2, 2});
}

TEST(AutoSizeRuleTest, EveryButtonKind) {
  for (uint32_t kind : {0u, 5u, 6u}) ExpectRule(ControlKind::kButton, kind, {true, true, 40, 8});
  for (uint32_t kind : {2u, 3u, 4u, 9u})
    ExpectRule(ControlKind::kButton, kind, {true, true, 30, 2});
  // Default push button, group box, user button, owner-drawn and the rest.
  for (uint32_t kind : {1u, 7u, 8u, 10u, 11u, 12u, 13u, 14u, 15u}) {
    ExpectRule(ControlKind::kButton, kind, {true, true, 0, 0});
  }
}

TEST(ButtonShowsHandTest, ClickableKindsOnly) {
  for (uint32_t kind = 0; kind < 16; ++kind) {
    bool clickable = kind == 0 || (kind >= 2 && kind <= 6) || kind == 9;
    EXPECT_EQ(ButtonShowsHand(kind), clickable) << "button kind " << kind;
  }
}

}  // namespace
