// The GDI owners on real objects: each alias deletes its kind of object, and
// the guards put back what they borrowed. Moves and resets are the
// template's, tested once in tests/unit/unique_handle_test.cpp.
#include "base/win32/gdi_handles.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

bool Exists(HGDIOBJ object) { return GetObjectType(object) != 0; }

TEST(GdiHandlesTest, BrushesAndFontsAreDeletedWithTheirOwner) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  LOGFONTW description{};
  description.lfHeight = 12;
  HFONT font = CreateFontIndirectW(&description);
  ASSERT_TRUE(Exists(brush) && Exists(font));
  {
    UniqueBrush brushOwner(brush);
    UniqueFont fontOwner(font);
  }
  EXPECT_FALSE(Exists(brush));
  EXPECT_FALSE(Exists(font));
}

TEST(GdiHandlesTest, SelectGuardPutsBackThePreviousObject) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = GetCurrentObject(dc, OBJ_BRUSH);
  UniqueBrush brush(CreateSolidBrush(RGB(9, 9, 9)));
  {
    SelectGuard selected(dc, brush.Get());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), original);
  {
    SelectGuard nothing(dc, nullptr);  // selects nothing, restores nothing
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), original);
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), original);
  DeleteDC(dc);
}

}  // namespace
