// Trees and refusals for the builder's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "builder/tree_rules.h"

inline TreeEntry FileEntry(const std::string& name, uint64_t size = 1) {
  TreeEntry entry;
  entry.name = name;
  entry.size = size;
  entry.time = {2022, 11, 3, 0, 0, 0, 0};
  return entry;
}

// A folder with `children` in the order the builder keeps them.
inline TreeEntry Directory(const std::string& name, std::vector<TreeEntry> children = {}) {
  TreeEntry entry;
  entry.name = name;
  entry.isDirectory = true;
  entry.children = std::move(children);
  SortTree(entry);
  return entry;
}

// Expects `check` to throw a PackageError naming `path`, with `message` in
// what it says.
template <typename Check>
void ExpectRefusal(Check check, const std::string& path, const std::string& message) {
  try {
    check();
    ADD_FAILURE() << "accepted " << path << ": " << message;
  } catch (const PackageError& error) {
    EXPECT_EQ(error.path(), path);
    EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
  }
}
