#include "platform/memory_tree_output.h"

#include <utility>

#include "platform/windows_name.h"

namespace {

// Written aside and put in place by Close, as the real outputs rename a
// temporary file over the old one.
class MemoryOutputFile final : public OutputFile {
 public:
  MemoryOutputFile(std::u16string path, MemoryTreeOutput* owner)
      : path_(std::move(path)), owner_(owner) {}
  bool Write(const void* data, size_t size) override {
    if (done_ || bytes_.size() + size > owner_->writeLimit) return false;
    if (owner_->bytesWritten + size > owner_->spaceLimit) {
      owner_->NoteFull();
      return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    owner_->bytesWritten += size;
    return true;
  }
  bool Close() override {
    if (done_) return true;
    done_ = true;
    MemoryTreeOutput::Node& node = owner_->nodes[path_];
    node.bytes = std::move(bytes_);
    node.timeSet = false;
    return true;
  }
  void Discard() override { done_ = true; }

 private:
  std::u16string path_;
  MemoryTreeOutput* owner_;
  std::vector<uint8_t> bytes_;
  bool done_ = false;
};

}  // namespace

bool MemoryTreeOutput::Accept(std::u16string_view relativePath) {
  if (relativePath.empty()) return true;
  size_t start = 0;
  for (;;) {
    const size_t end = relativePath.find(u'\\', start);
    const std::u16string_view name = relativePath.substr(start, end - start);
    if (!IsSafeFileName(name)) {
      unsafePaths.emplace_back(relativePath);
      return false;
    }
    if (end == std::u16string_view::npos) return true;
    start = end + 1;
  }
}

bool MemoryTreeOutput::ParentIsDirectory(std::u16string_view relativePath) const {
  const size_t cut = relativePath.rfind(u'\\');
  const std::u16string_view parent =
      cut == std::u16string_view::npos ? std::u16string_view() : relativePath.substr(0, cut);
  const Node* node = Find(parent);
  return node != nullptr && node->isDirectory;
}

const MemoryTreeOutput::Node* MemoryTreeOutput::Find(std::u16string_view path) const {
  auto it = nodes.find(std::u16string(path));
  return it == nodes.end() ? nullptr : &it->second;
}

DirectoryOutcome MemoryTreeOutput::MakeDirectory(std::u16string_view relativePath) {
  if (!Accept(relativePath)) return DirectoryOutcome::kFailed;
  if (links.count(std::u16string(relativePath)) != 0) return DirectoryOutcome::kLink;
  if (!relativePath.empty() && !ParentIsDirectory(relativePath)) return DirectoryOutcome::kFailed;
  auto [it, inserted] = nodes.try_emplace(std::u16string(relativePath));
  if (!inserted) {
    return it->second.isDirectory ? DirectoryOutcome::kExisting : DirectoryOutcome::kFailed;
  }
  it->second.isDirectory = true;
  return DirectoryOutcome::kMade;
}

std::unique_ptr<OutputFile> MemoryTreeOutput::CreateOutput(std::u16string_view relativePath,
                                                           CreateRefusal* why) {
  if (why != nullptr) *why = CreateRefusal::kFailed;
  if (relativePath.empty() || !Accept(relativePath) || !ParentIsDirectory(relativePath)) {
    return nullptr;
  }
  std::u16string key(relativePath);
  if (refuse.count(key) != 0) return nullptr;
  if (links.count(key) != 0) {
    if (why != nullptr) *why = CreateRefusal::kLink;
    return nullptr;
  }
  const Node* node = Find(key);
  if (node != nullptr && node->isDirectory) return nullptr;
  return std::make_unique<MemoryOutputFile>(std::move(key), this);
}

bool MemoryTreeOutput::SetEntryTime(std::u16string_view relativePath, const EntryTime& time) {
  auto it = nodes.find(std::u16string(relativePath));
  if (it == nodes.end() || it->second.isDirectory) return false;
  it->second.timeSet = true;
  it->second.time = time;
  return true;
}
