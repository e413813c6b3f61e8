#include "script/batch_file.h"

#include "base/utf8.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

constexpr BatchSection kPrepare = {"prepare", u"prepare.bat", "del prepare.bat\r\n", true};
constexpr BatchSection kBin32 = {"bin_32", u"install_bin.bat", "del install_bin.bat\r\n", true};
constexpr BatchSection kBin64 = {"bin_64", u"install_bin.bat", "del install_bin.bat\r\n", true};
constexpr BatchSection kInstall = {"install", u"install.bat", "del install.bat\r\n", true};
constexpr BatchSection kUninstall = {"uninstall", u"uninstall.bat", nullptr, false};
// The uninstaller runs the same section, from a file that deletes itself.
constexpr BatchSection kUninstallRun = {"uninstall", u"uninstall.bat", "del uninstall.bat\r\n",
                                        true};

void WriteShellFolderVars(std::string* batch, const ShellFolders& folders, WideToOemFn toOem) {
  if (!folders.keyOpened) return;
  for (size_t i = 0; i < kShellFolderVars.size(); ++i) {
    batch->append("set ").append(kShellFolderVars[i].variable).append(1, '=');
    batch->append(toOem(folders.values[i])).append(kLineEnd);
  }
}

}  // namespace

const BatchSection& BatchSectionOf(BatchKind kind, bool wow64) {
  switch (kind) {
    case BatchKind::kPrepare:
      return kPrepare;
    case BatchKind::kBin:
      return wow64 ? kBin64 : kBin32;
    case BatchKind::kInstall:
      return kInstall;
    case BatchKind::kUninstall:
      break;
  }
  return kUninstall;
}

const BatchSection& UninstallRunSection() { return kUninstallRun; }

std::u16string BatchCommandParameters(std::u16string_view fileName) {
  std::u16string parameters = u"/c \"";
  parameters.append(fileName).append(1, u'"');
  return parameters;
}

void AppendBatchLine(std::string* batch, std::string_view line, const ShellFolders& folders,
                     WideToOemFn toOem) {
  // The marker is recognised in the converted bytes, as the interpreter
  // would read them.
  const std::string converted = toOem(Utf8ToWide(line));
  if (converted == kShellFolderMarker) {
    WriteShellFolderVars(batch, folders, toOem);
  } else {
    batch->append(converted).append(kLineEnd);
  }
}

std::string ComposeBatchFile(ScriptText script, uint8_t* body, const BatchSection& section,
                             const ShellFolders& folders, WideToOemFn toOem) {
  std::string batch;
  WalkBody(script, body, [&](char* line, size_t length) {
    AppendBatchLine(&batch, std::string_view(line, length), folders, toOem);
  });
  if (section.closingLine != nullptr) batch.append(section.closingLine);
  return batch;
}
