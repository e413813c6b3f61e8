// What the setup tells an interactive user about files it could not put in
// place: the question while it installs, the list at the end. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The files of one kind of trouble: the first few by name, all by count.
struct FileList {
  static constexpr size_t kShown = 8;
  void Add(std::u16string_view path);
  std::vector<std::u16string> shown;
  uint32_t count = 0;
};

// The question asked when a file cannot be written: Retry or Cancel.
std::u16string RetryText(std::u16string_view path, std::u16string_view reason);

// The summary at the end of an install that left files out or put off their
// replacement to a restart; empty when there is nothing to say.
std::u16string SummaryText(const FileList& notWritten, const FileList& atRestart);

// The uninstaller's summary when files stayed: they, and how to finish.
std::u16string RemovalSummaryText(const FileList& notRemoved);
