// A one-line progress bar on stderr, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdio>

#include "builder/package_writer.h"

class ProgressBar {
 public:
  // Draws nothing unless `enabled` and `stream` is a terminal.
  ProgressBar(bool enabled, std::FILE* stream = stderr);
  ~ProgressBar() { Finish(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(const WriterProgress& progress);
  // Clears the line; the bar draws nothing after this.
  void Finish();

 private:
  void Draw(const WriterProgress& progress);

  std::FILE* stream_;
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_;
};
