#include "installer/deferred_output.h"

namespace {

// Tells its owner whether the deferred file was put in place whole (under
// its side name).
class NotingOutputFile final : public OutputFile {
 public:
  NotingOutputFile(std::unique_ptr<OutputFile> inner, bool* written)
      : inner_(std::move(inner)), written_(written) {}
  bool Write(const void* data, size_t size) override { return inner_->Write(data, size); }
  bool Close() override { return *written_ = inner_->Close(); }
  void Discard() override { inner_->Discard(); }
  bool SetTime(const EntryTime& time) override { return inner_->SetTime(time); }

 private:
  std::unique_ptr<OutputFile> inner_;
  bool* written_;
};

}  // namespace

std::unique_ptr<OutputFile> DeferringTreeOutput::CreateOutput(std::u16string_view relativePath,
                                                              CreateRefusal* why) {
  std::unique_ptr<OutputFile> file = inner_.CreateOutput(Redirect(relativePath), why);
  if (!file || relativePath != deferred_) return file;
  return std::make_unique<NotingOutputFile>(std::move(file), &written_);
}
