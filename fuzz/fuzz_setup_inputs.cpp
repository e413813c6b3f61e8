// The setup's small readers, chosen by the first input byte: the command
// line (switches, /LOG=, /D=), [product] with the uninstaller's question, the
// folder names of [locale] and [shortcuts] lines (the rest read as UTF-8
// text), and the room an install needs with its words (the rest read as
// little-endian sizes in the widths the stub passes them).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.h"
#include "installer/command_line.h"
#include "installer/install_space.h"
#include "script/folder_variables.h"
#include "script/product_section.h"

namespace {

__extension__ typedef unsigned __int128 Wide;
constexpr size_t npos = std::u16string::npos;

// Every value is a piece of the line once the quotes around words are gone;
// a refusal stands unless /? came.
std::u16string WithoutQuotes(std::u16string text) {
  text.erase(std::remove(text.begin(), text.end(), u'"'), text.end());
  return text;
}

void CommandLine(std::string_view text) {
  const std::u16string tail = Utf8ToWide(text);
  const SetupCommand command = ParseSetupCommand(tail);
  const std::u16string bare = WithoutQuotes(tail);
  for (const std::u16string* value : {&command.folder, &command.logFile, &command.refused}) {
    if (bare.find(WithoutQuotes(*value)) == npos) abort();
  }
  const bool refused = !command.refused.empty() && command.kind != CommandKind::kHelp;
  if (refused != (command.kind == CommandKind::kRefused) ||
      (command.kind == CommandKind::kWindow) != (tail.find_first_not_of(u" \t") == npos)) {
    abort();
  }
}

// The variant is read in place from a block of exactly the text's size, so
// that a read past it is caught; every value comes from one line.
void ProductSection(std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  const Product variant = ReadProductSection({bytes.data(), bytes.size()}, LocaleName{"de"});
  const Product plain =
      ReadPlainProduct(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  for (const Product* product : {&variant, &plain}) {
    for (const std::string* value :
         {&product->id, &product->name, &product->version, &product->publisher, &product->url,
          &product->icon, &product->removePrompt, &product->scope}) {
      if (value->find_first_of(std::string_view("\n\0", 2)) != npos) abort();
    }
    RemovePromptText(*product, u"C:\\Program Files\\App");
  }
}

// With each name standing for itself, the text comes back as written: nothing
// skipped, nothing expanded twice. What the linter reports is in the text and
// is no known name.
void FolderNames(std::string_view text) {
  const std::u16string wide = Utf8ToWide(text);
  FolderValues names;
  std::copy(kFolderVariableNames.begin(), kFolderVariableNames.end(), names.begin());
  if (ExpandFolderVariables(wide, names) != wide) abort();
  for (const std::string& name : UnknownFolderVariables(text)) {
    const std::u16string wideName = Utf8ToWide(name);
    if (name.size() < 3 || name.front() != '%' || name.back() != '%' ||
        wide.find(wideName) == npos ||
        std::count(kFolderVariableNames.begin(), kFolderVariableNames.end(), wideName) != 0) {
      abort();
    }
  }
}

// "N bytes", or tenths of the largest unit that keeps them under 1024.1
// (TB at most), rounded up: never smaller, and less than a tenth above.
void CheckWords(uint64_t bytes) {
  const std::string words = WideToUtf8(FormatByteCount(bytes));
  if (bytes < 1024) {
    if (words != std::to_string(bytes) + " bytes") abort();
    return;
  }
  unsigned long long units = 0;
  unsigned tenth = 10;
  char unit = 0;
  if (sscanf(words.c_str(), "%llu.%u %cB", &units, &tenth, &unit) != 3 || tenth > 9) abort();
  const size_t power = std::string_view("KMGT").find(unit) + 1;
  const Wide shown = (Wide{units} * 10 + tenth) << (10 * power);
  if (power == 0 || (power < 4 && units > 1024) || shown < Wide{bytes} * 10 ||
      shown - (Wide{1} << (10 * power)) >= Wide{bytes} * 10) {
    abort();
  }
}

// Little-endian, zeros past the end.
template <typename T>
T Take(std::string_view& in) {
  T value = 0;
  const size_t taken = std::min(sizeof value, in.size());
  memcpy(&value, in.data(), taken);
  in.remove_prefix(taken);
  return value;
}

// The cluster is sectors times bytes per sector; a file's new size is its
// stored size, the old one whatever the volume holds. The peak only grows and
// stays within the new files' clusters.
void Space(std::string_view in) {
  const uint64_t cluster = uint64_t{Take<uint32_t>(in)} * Take<uint32_t>(in);
  CheckWords(cluster);
  SpaceNeed need(cluster);
  Wide bound = 0;
  for (uint64_t peak = 0; !in.empty(); peak = need.Peak()) {
    const uint32_t written = Take<uint32_t>(in);
    need.Add(written, Take<uint64_t>(in));
    bound += Wide{written} + std::max<uint64_t>(cluster, 1);
    if (need.Peak() < peak || need.Peak() > bound) abort();
    CheckWords(need.Peak());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  constexpr void (*kReaders[])(std::string_view) = {CommandLine, ProductSection, FolderNames,
                                                    Space};
  kReaders[data[0] % 4](std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
