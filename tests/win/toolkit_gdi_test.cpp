// The owners of the toolkit's GDI objects: each object deleted exactly once,
// on every path, and selections put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "base/win32/gdi_handles.h"

namespace {

bool Exists(HGDIOBJ object) { return GetObjectType(object) != 0; }

TEST(GdiHandlesTest, ABrushIsDeletedWhenItsOwnerEnds) {
  HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
  {
    UniqueBrush brush(raw);
    EXPECT_TRUE(brush);
    EXPECT_EQ(brush.Get(), raw);
  }
  EXPECT_FALSE(Exists(raw));
}

TEST(GdiHandlesTest, MovesHandOverOwnershipAndDeleteWhatTheyReplace) {
  HBRUSH first = CreateSolidBrush(RGB(1, 1, 1));
  HBRUSH second = CreateSolidBrush(RGB(2, 2, 2));
  UniqueBrush a(first);
  UniqueBrush b(second);
  a = std::move(b);  // a's old brush goes, b's moves over
  EXPECT_FALSE(Exists(first));
  EXPECT_TRUE(Exists(second));
  EXPECT_EQ(a.Get(), second);
  EXPECT_FALSE(b);

  UniqueBrush c(std::move(a));
  EXPECT_EQ(c.Get(), second);
  EXPECT_FALSE(a);
  UniqueBrush& alias = c;
  c = std::move(alias);  // self-move keeps the brush alive
  EXPECT_TRUE(Exists(second));
  EXPECT_EQ(c.Get(), second);
}

TEST(GdiHandlesTest, ResetAndReleaseOfAFont) {
  LOGFONTW description{};
  description.lfHeight = 12;
  HFONT first = CreateFontIndirectW(&description);
  HFONT second = CreateFontIndirectW(&description);
  UniqueFont font(first);
  font.Reset(second);
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(font.Release(), second);
  EXPECT_FALSE(font);
  EXPECT_TRUE(Exists(second));  // released: ours to delete now
  DeleteObject(second);
  font.Reset();  // empty: nothing to delete
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
