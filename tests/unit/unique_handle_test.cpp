#include "base/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> closed;
void Close(int value) { closed.push_back(value); }
using Owner = UniqueHandle<int, Close>;

TEST(UniqueHandleTest, ClosesEachValueExactlyOnce) {
  closed.clear();
  {
    Owner a(1);
    Owner b(2);
    a = std::move(b);  // 1 is closed now, 2 moves over
    EXPECT_EQ(closed, std::vector<int>({1}));
    EXPECT_EQ(a.Get(), 2);
    EXPECT_FALSE(b);
    Owner c(std::move(a));
    EXPECT_FALSE(a);
    auto& self = c;
    c = std::move(self);  // self-assignment keeps the value
    EXPECT_EQ(c.Get(), 2);
    Owner d;  // empty owners close nothing
  }
  EXPECT_EQ(closed, std::vector<int>({1, 2}));

  closed.clear();
  Owner e(3);
  EXPECT_EQ(e.Release(), 3);
  e.Reset(4);
  e.Reset();
  EXPECT_EQ(closed, std::vector<int>({4}));
}

}  // namespace
