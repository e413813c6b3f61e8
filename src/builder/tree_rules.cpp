#include "builder/tree_rules.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

#include "base/utf8.h"
#include "builder/script_encoding.h"
#include "builder/upper_case.h"
#include "package/package_format.h"
#include "platform/windows_name.h"

namespace {

const char* DescribeFileNameProblem(FileNameProblem problem) {
  switch (problem) {
    case FILE_NAME_OK:
      return "a valid name";
    case FILE_NAME_EMPTY:
      return "an empty name";
    case FILE_NAME_DOT:
      return "'.' and '..' cannot be names";
    case FILE_NAME_SEPARATOR:
      return "the name holds a path separator ('\\', '/' or ':')";
    case FILE_NAME_CONTROL:
      return "the name holds a control character";
    case FILE_NAME_RESERVED_CHAR:
      return "the name holds a character Windows reserves (* ? \" < > |)";
    case FILE_NAME_TRAILING:
      return "the name ends with a dot or a blank, which Windows strips";
    case FILE_NAME_DEVICE:
      return "the name is a reserved device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  }
  return "an unusable name";
}

std::string JoinPath(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

// The name as the stub keeps it: one UTF-16 unit per character.
std::u16string DecodeName(const std::string& name, const std::string& path) {
  if (name.size() > MAX_ENTRY_NAME_BYTES) {
    throw PackageError(path, "the name is " + std::to_string(name.size()) +
                                 " bytes long; the limit is " +
                                 std::to_string(MAX_ENTRY_NAME_BYTES));
  }
  if (FindInvalidUtf8(name.data(), name.size()) < name.size()) {
    throw PackageError(path, "the name is not valid UTF-8");
  }
  std::u16string decoded;
  for (size_t at = 0; at < name.size();) {
    char32_t c;
    const size_t step = DecodeUtf8CodePoint(name.data() + at, name.size() - at, &c);
    if (c > 0xFFFF) {
      throw PackageError(path,
                         "the name holds a character outside the Basic Multilingual Plane, "
                         "which the setup program cannot write");
    }
    decoded.push_back(static_cast<char16_t>(c));
    at += step;
  }
  return decoded;
}

std::u16string FoldName(std::u16string name) {
  for (char16_t& c : name) c = ToUpperCase(c);
  return name;
}

void ValidateDirectory(const TreeEntry& directory, const std::string& directoryPath,
                       size_t directoryUnits) {
  std::unordered_map<std::u16string, const std::string*> seen;
  for (const TreeEntry& child : directory.children) {
    const std::string path = JoinPath(directoryPath, child.name);
    const std::u16string name = DecodeName(child.name, path);
    const FileNameProblem problem = CheckFileName(name);
    if (problem != FILE_NAME_OK) throw PackageError(path, DescribeFileNameProblem(problem));
    const size_t units = directoryUnits + (directoryUnits == 0 ? 0 : 1) + name.size();
    if (units > MAX_RELATIVE_PATH_UNITS) {
      throw PackageError(path, "the path is " + std::to_string(units) +
                                   " UTF-16 units long; the limit is " +
                                   std::to_string(MAX_RELATIVE_PATH_UNITS));
    }
    const auto [it, inserted] = seen.emplace(FoldName(name), &child.name);
    if (!inserted) {
      throw PackageError(path, "the name differs only in letter case from '" + *it->second +
                                   "'; Windows would install one over the other");
    }
    if (child.isDirectory) ValidateDirectory(child, path, units);
  }
}

}  // namespace

void SortTree(TreeEntry& root) {
  std::sort(root.children.begin(), root.children.end(),
            [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
  for (TreeEntry& child : root.children) {
    if (child.isDirectory) SortTree(child);
  }
}

void ValidateTree(const TreeEntry& root) { ValidateDirectory(root, "", 0); }

bool SameFileName(std::string_view a, std::string_view b) {
  return FoldName(Utf8ToWide(a)) == FoldName(Utf8ToWide(b));
}

void ValidateScript(std::string_view script) {
  const auto lineOf = [&script](size_t at) {
    return std::to_string(
        1 + std::count(script.begin(), script.begin() + static_cast<ptrdiff_t>(at), '\n'));
  };
  const size_t bad = FindInvalidUtf8(script.data(), script.size());
  if (bad < script.size()) {
    throw PackageError("", "the script is not valid UTF-8 (line " + lineOf(bad) + ", byte offset " +
                               std::to_string(bad) + ")" + kNotUtf8Note);
  }
  // The same errors as the linter's: the setup cuts a line at a NUL and
  // keeps one UTF-16 unit per character.
  if (const size_t nul = script.find('\0'); nul != std::string_view::npos) {
    throw PackageError("", "line " + lineOf(nul) +
                               ": a NUL byte, at which the setup would cut the line; "
                               "mksetup check lists every such error");
  }
  const auto wide = std::find_if(script.begin(), script.end(),
                                 [](char c) { return static_cast<uint8_t>(c) >= 0xF0; });
  if (wide != script.end()) {
    throw PackageError("", "line " + lineOf(static_cast<size_t>(wide - script.begin())) +
                               ": a character outside the Basic Multilingual Plane, which the "
                               "setup cannot keep; mksetup check lists every such error");
  }
  // Stored, the script can only be smaller, but never larger than this.
  if (script.size() > std::numeric_limits<uint32_t>::max() - SCRIPT_OFFSET) {
    throw PackageError("", "the script is larger than the format allows");
  }
}
