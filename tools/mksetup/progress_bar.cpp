#include "progress_bar.h"

#include <string>

#include "display.h"
#include "native_fs.h"

namespace {

constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
constexpr int BAR_WIDTH = 30;

}  // namespace

ProgressBar::ProgressBar(bool enabled, std::FILE* stream)
    : stream_(stream), active_(enabled && IsTerminal(stream)) {}

void ProgressBar::Update(const WriterProgress& progress) {
  if (!active_) return;
  const auto now = std::chrono::steady_clock::now();
  const bool complete = progress.filesDone == progress.filesTotal;
  if (drawn_ && !complete && now - lastDraw_ < REDRAW_INTERVAL) return;
  lastDraw_ = now;
  Draw(progress);
}

void ProgressBar::Draw(const WriterProgress& progress) {
  const double fraction =
      progress.bytesTotal == 0
          ? (progress.filesTotal == 0 ? 1.0
                                      : static_cast<double>(progress.filesDone) /
                                            static_cast<double>(progress.filesTotal))
          : static_cast<double>(progress.bytesDone) / static_cast<double>(progress.bytesTotal);
  const int filled = static_cast<int>(fraction * BAR_WIDTH);
  const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                          std::string(static_cast<size_t>(BAR_WIDTH - filled), '.');
  std::fprintf(stream_, "\r[%s] %3d%%  %llu/%llu files  %s of %s\x1b[K", bar.c_str(),
               static_cast<int>(fraction * 100),
               static_cast<unsigned long long>(progress.filesDone),
               static_cast<unsigned long long>(progress.filesTotal),
               FormatSize(progress.bytesDone).c_str(), FormatSize(progress.bytesTotal).c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (active_ && drawn_) {
    std::fputs("\r\x1b[K", stream_);
    std::fflush(stream_);
  }
  active_ = false;
}
