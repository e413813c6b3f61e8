#include "installer/install_report.h"

#include "base/utf8.h"

void FileList::Add(std::u16string_view path) {
  if (shown.size() < kShown) shown.emplace_back(path);
  ++count;
}

std::u16string RetryText(std::u16string_view path, std::u16string_view reason) {
  std::u16string text = u"The file ";
  text.append(path);
  text += u" could not be written";
  if (!reason.empty()) text.append(u": ").append(reason);
  text +=
      u"\n\nClose the program that uses it and choose Retry, or choose Cancel to go on "
      u"without it.";
  return text;
}

namespace {

void AppendList(std::u16string& text, const char16_t* heading, const FileList& list) {
  if (list.count == 0) return;
  if (!text.empty()) text += u"\n\n";
  text += heading;
  for (const std::u16string& path : list.shown) text.append(u"\n    ").append(path);
  if (list.count > list.shown.size()) {
    text += Concat(
        {u"\n    and ", Utf8ToWide(std::to_string(list.count - list.shown.size())), u" more"});
  }
}

}  // namespace

std::u16string SummaryText(const FileList& notWritten, const FileList& atRestart) {
  std::u16string text;
  AppendList(text, u"These files could not be installed:", notWritten);
  AppendList(text, u"These files will be replaced when Windows restarts:", atRestart);
  return text;
}

std::u16string RemovalSummaryText(const FileList& notRemoved) {
  std::u16string text;
  AppendList(text, u"These files could not be removed:", notRemoved);
  text += u"\n\nClose the programs that use them and uninstall again to finish.";
  return text;
}
