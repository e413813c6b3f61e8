// What an extraction tells whoever shows its progress. The stub's adapter
// turns these into window messages; the builder's extract command prints.
#pragma once

class ExtractProgress {
 public:
  virtual ~ExtractProgress() = default;
  // The file about to be written: the entry's own name (last component),
  // NUL-terminated, valid only during the call.
  virtual void OnFileName(const char16_t* name) = 0;
  // The share of stored bytes reached, this file included: 0 to 99.
  virtual void OnPercent(int percent) = 0;
  // Called now and then while the extraction waits for data decoded on
  // other threads: a window handles its messages here.
  virtual void OnWaiting() {}
};
