#include "script/install_record.h"

#include <algorithm>

#include "base/utf8.h"

namespace {

constexpr std::u16string_view kKeyWord = u"key ";
constexpr std::u16string_view kKey64Word = u"key64 ";

}  // namespace

std::u16string RecordedKeyLine(const RecordedKey& key) {
  return Concat({key.view64 ? kKey64Word : kKeyWord, Utf8ToWide(RegistryRootName(key.root)), u"\\",
                 key.path});
}

bool ReadRecordedKey(std::u16string_view line, RecordedKey* key) {
  RecordedKey read;
  read.view64 = line.starts_with(kKey64Word);
  if (!read.view64 && !line.starts_with(kKeyWord)) return false;
  line.remove_prefix(read.view64 ? kKey64Word.size() : kKeyWord.size());
  const size_t cut = line.find(u'\\');
  if (cut == std::u16string_view::npos || cut + 1 == line.size() ||
      !FindRegistryRoot(WideToUtf8(line.substr(0, cut)), &read.root)) {
    return false;
  }
  read.path = line.substr(cut + 1);
  *key = std::move(read);
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
