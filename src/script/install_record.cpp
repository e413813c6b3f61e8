#include "script/install_record.h"

#include <algorithm>

#include "base/utf8.h"

namespace {

constexpr std::u16string_view kKeyWord = u"key ";
constexpr std::u16string_view kKey64Word = u"key64 ";
constexpr std::u16string_view kValueWord = u"value ";
constexpr std::u16string_view kValue64Word = u"value64 ";
constexpr std::u16string_view kPathWords[] = {u"lnk ", u"folder "};

}  // namespace

std::u16string RecordedKeyLine(const RecordedKey& key) {
  return Concat({key.view64 ? kKey64Word : kKeyWord, Utf8ToWide(RegistryRootName(key.root)), u"\\",
                 key.path});
}

namespace {

// The ROOT\PATH behind one word of a pair, the plain view's or the 64-bit
// view's: false unless the root is known and the path is not empty.
bool ReadKeyBehind(std::u16string_view line, std::u16string_view word, std::u16string_view word64,
                   RecordedKey* key) {
  RecordedKey read;
  read.view64 = line.starts_with(word64);
  if (!read.view64 && !line.starts_with(word)) return false;
  line.remove_prefix((read.view64 ? word64 : word).size());
  const size_t cut = line.find(u'\\');
  if (cut == std::u16string_view::npos || cut + 1 == line.size() ||
      !FindRegistryRoot(WideToUtf8(line.substr(0, cut)), &read.root)) {
    return false;
  }
  read.path = line.substr(cut + 1);
  *key = std::move(read);
  return true;
}

}  // namespace

bool ReadRecordedKey(std::u16string_view line, RecordedKey* key) {
  return ReadKeyBehind(line, kKeyWord, kKey64Word, key);
}

// A value line is its key's line with the name behind one more backslash.
std::u16string RecordedValueLine(const RecordedKey& key, std::u16string_view name) {
  return Concat({key.view64 ? kValue64Word : kValueWord, Utf8ToWide(RegistryRootName(key.root)),
                 u"\\", key.path, u"\\", name});
}

bool ReadRecordedValue(std::u16string_view line, RecordedValue* value) {
  const size_t cut = line.rfind(u'\\');
  RecordedValue read;
  if (cut == std::u16string_view::npos ||
      !ReadKeyBehind(line.substr(0, cut), kValueWord, kValue64Word, &read.key)) {
    return false;
  }
  read.name = line.substr(cut + 1);
  *value = std::move(read);
  return true;
}

std::u16string RecordedPathLine(RecordedPathKind kind, std::u16string_view path) {
  return Concat({kPathWords[static_cast<size_t>(kind)], path});
}

bool ReadRecordedPath(std::u16string_view line, RecordedPathKind kind, std::u16string* path) {
  const std::u16string_view word = kPathWords[static_cast<size_t>(kind)];
  if (!line.starts_with(word) || line.size() == word.size()) return false;
  *path = line.substr(word.size());
  return true;
}

void AddRecordLine(InstallRecord* record, std::u16string line) {
  if (std::find(record->begin(), record->end(), line) == record->end()) {
    record->push_back(std::move(line));
  }
}

InstallRecord SplitRecordText(std::u16string_view text) {
  InstallRecord record;
  while (!text.empty()) {
    const size_t end = std::min(text.find(u'\0'), text.size());
    if (end == 0) break;
    record.emplace_back(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return record;
}

std::u16string JoinRecordText(const InstallRecord& record) {
  std::u16string text;
  for (const std::u16string& line : record) {
    text += line;
    text.push_back(u'\0');
  }
  text.push_back(u'\0');
  return text;
}
