#include "script/folder_variables.h"

#include "base/utf8.h"

const std::array<std::u16string_view, FOLDER_VARIABLE_COUNT> kFolderVariableNames = {
    u"%ProgramFiles%", u"%ProgramW6432%", u"%LOCALAPPDATA%", u"%APPDATA%", u"%Desktop%",
    u"%StartMenu%",    u"%Programs%",     u"%Startup%",      u"%AppData%",
};

namespace {

// The variable `text` starts with, or FOLDER_VARIABLE_COUNT.
size_t VariableAt(std::u16string_view text) {
  for (size_t i = 0; i < kFolderVariableNames.size(); ++i) {
    if (text.substr(0, kFolderVariableNames[i].size()) == kFolderVariableNames[i]) return i;
  }
  return FOLDER_VARIABLE_COUNT;
}

}  // namespace

std::u16string ExpandFolderVariables(std::u16string_view text, const FolderValues& values) {
  std::u16string out;
  for (size_t at = 0; at < text.size();) {
    const size_t known =
        text[at] == u'%' ? VariableAt(text.substr(at)) : size_t{FOLDER_VARIABLE_COUNT};
    if (known == FOLDER_VARIABLE_COUNT) {
      out.push_back(text[at++]);
      continue;
    }
    out += values[known];
    at += kFolderVariableNames[known].size();
  }
  return out;
}

std::vector<std::string> UnknownFolderVariables(std::string_view text) {
  std::vector<std::string> unknown;
  const std::u16string wide = Utf8ToWide(text);
  for (size_t at = wide.find(u'%'); at != std::u16string::npos; at = wide.find(u'%', at)) {
    const size_t known = VariableAt(std::u16string_view(wide).substr(at));
    if (known != FOLDER_VARIABLE_COUNT) {
      at += kFolderVariableNames[known].size();
      continue;
    }
    const size_t end = wide.find(u'%', at + 1);
    if (end == std::u16string::npos) break;
    // A span of name characters only: "50% of 100%" names nothing.
    const std::u16string_view name = std::u16string_view(wide).substr(at + 1, end - at - 1);
    bool isName = !name.empty();
    for (char16_t c : name) {
      isName = isName && ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                          (c >= u'0' && c <= u'9') || c == u'_');
    }
    if (isName) {
      unknown.push_back(WideToUtf8(wide.substr(at, end - at + 1)));
      at = end + 1;
    } else {
      at = end;
    }
  }
  return unknown;
}

std::u16string ExpandInstallDir(std::u16string_view text, std::u16string_view installDir) {
  std::u16string out;
  for (size_t at = 0; at < text.size();) {
    if (text.substr(at, kInstallDirName.size()) == kInstallDirName) {
      out += installDir;
      at += kInstallDirName.size();
    } else {
      out.push_back(text[at++]);
    }
  }
  return out;
}

std::u16string_view WithoutInstallDir(std::u16string_view path) {
  if (path.substr(0, kInstallDirName.size()) != kInstallDirName ||
      path.substr(kInstallDirName.size(), 1) != u"\\") {
    return path;
  }
  return path.substr(kInstallDirName.size() + 1);
}

std::vector<std::u16string> LinkGroupFolders(std::u16string_view link, const FolderValues& values) {
  const size_t known = VariableAt(link);
  if (known == FOLDER_VARIABLE_COUNT || values[known].empty()) return {};
  std::u16string_view rest = link.substr(kFolderVariableNames[known].size());
  if (rest.empty() || rest.front() != u'\\') return {};
  std::vector<std::u16string> folders;
  std::u16string folder = values[known];
  for (size_t slash = rest.find(u'\\', 1); slash != std::u16string_view::npos;
       slash = rest.find(u'\\', 1)) {
    const std::u16string_view name = rest.substr(1, slash - 1);
    if (name.empty() || name == u"." || name == u"..") return {};
    folder.append(1, u'\\').append(name);
    folders.push_back(folder);
    rest.remove_prefix(slash);
  }
  return folders;
}
