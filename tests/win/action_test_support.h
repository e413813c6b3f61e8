// A scratch install folder for the script-action tests: made empty and
// current for each test, removed afterwards, with the script the actions read.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "script/win32/script_actions.h"

std::string ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

inline const char16_t* U16(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

class ActionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A context over a copy of `script`, installing into the scratch folder.
  ScriptActionContext Context(const std::string& script, const char* localeName = "");
  std::wstring InTarget(const std::wstring& relative) const { return target_ + L"\\" + relative; }

  std::wstring target_;  // no trailing backslash

 private:
  std::vector<uint8_t> script_;
};
