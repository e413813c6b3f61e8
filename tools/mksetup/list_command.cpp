#include "list_command.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "builder/setup_identity.h"
#include "command_input.h"
#include "display.h"
#include "package/tree_walker.h"
#include "script/product_section.h"
#include "signature_report.h"

namespace {

// Counts what a file inflates to, so that sizes are the real ones.
class CountingSink final : public OutputFile {
 public:
  bool Write(const void*, size_t size) override {
    bytes += size;
    return true;
  }
  bool Close() override { return true; }
  uint64_t bytes = 0;
};

struct Listed {
  std::string path;  // '/'-separated, the names' bytes as stored
  bool isDirectory = false;
  IndexEntry entry;
  uint64_t size = 0;
  const char* problem = nullptr;  // why extract would skip or fail it
};

struct Listing {
  std::vector<Listed> entries;
  bool indexCutShort = false;
  uint64_t files = 0;
  uint64_t bytes = 0;
  uint64_t stored = 0;
};

// Lists every entry the walk meets, each with the problem extraction would
// have with it, and the entries inside skipped folders too; every file's
// data is decoded for its real size.
class ListingVisitor final : public TreeVisitor {
 public:
  ListingVisitor(InputFile& file, const PackageTree& tree, Listing& listing)
      : file_(file), tree_(tree), listing_(listing) {}

  bool OnDirectory(std::u16string_view path, const IndexEntry& entry) override {
    Add(Depth(path), entry, nullptr);
    return true;
  }
  bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry& entry) override {
    Add(Depth(path), entry, nullptr);
    return true;
  }
  void OnSkipped(ExtractIssue issue, std::u16string_view parent, const IndexEntry& entry,
                 bool) override {
    skippedDepth_ = parent.empty() ? 0 : Depth(parent) + 1;
    Add(skippedDepth_, entry, DescribeExtractIssue(issue));
  }
  void OnPassedOver(const IndexEntry& entry, size_t depth) override {
    Add(skippedDepth_ + depth, entry, "skipped: inside a skipped directory");
  }

 private:
  // Names hold no separator, so a path's separators count its depth.
  static size_t Depth(std::u16string_view path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), u'\\'));
  }

  // The entry at `depth` (0 at the top) with the names' bytes as stored.
  void Add(size_t depth, const IndexEntry& entry, const char* problem) {
    Listed item;
    item.entry = entry;
    item.problem = problem;
    item.isDirectory = entry.type == ENTRY_DIRECTORY;
    folders_.resize(depth);
    const std::string name(entry.name, entry.nameLength);
    const std::string parent = depth == 0 ? std::string() : folders_.back();
    item.path = parent.empty() ? name : parent + "/" + name;
    if (item.isDirectory) {
      folders_.push_back(item.path);
    } else if (tree_.method == TREE_METHOD_RECORD) {
      // A record's sizes are the installed files' own; it holds no data.
      ++listing_.files;
      item.size = entry.storedSize;
      listing_.bytes += entry.storedSize;
    } else {
      ++listing_.files;
      // Identical files share one stored copy: it counts once.
      if (storedCopies_.insert({entry.offset, entry.storedSize}).second) {
        listing_.stored += entry.storedSize;
      }
      CountingSink sink;
      const CopyResult result = CopyEntryData(file_, tree_, entry, sink, buffers_);
      item.size = sink.bytes;
      listing_.bytes += sink.bytes;
      if (result != COPY_OK && item.problem == nullptr) {
        item.problem = DescribeExtractIssue(static_cast<ExtractIssue>(result));
      }
    }
    listing_.entries.push_back(std::move(item));
  }

  InputFile& file_;
  const PackageTree& tree_;
  Listing& listing_;
  CopyBuffers buffers_;
  std::vector<std::string> folders_;  // the open folders' paths, outermost first
  std::set<std::pair<uint32_t, uint32_t>> storedCopies_;  // offset and stored size
  size_t skippedDepth_ = 0;                               // the depth of the last skipped entry
};

const char* MethodName(const PackageTree& tree) {
  switch (tree.method) {
    case TREE_METHOD_PER_FILE:
      return "deflate";
    case TREE_METHOD_SOLID_LZMA2:
      return "lzma2";
    case TREE_METHOD_RECORD:
      return "record";
  }
  return "unknown";
}

// The bytes an entry has in the data area: none in a record, whose sizes
// are those of the files its setup installs.
uint32_t StoredSize(const PackageTree& tree, const IndexEntry& entry) {
  return tree.method == TREE_METHOD_RECORD ? 0 : entry.storedSize;
}

struct ProductField {
  const char* label;
  const char* jsonKey;
  std::string value;
  bool inJsonWhenEmpty;  // the builder's own keys appear only when set
};

// The plain [product] section of the script: what the setup registers, then
// what the builder made of the setup file's identity; none without one.
std::vector<ProductField> ReadProduct(const PackageInfo& info) {
  std::string script(reinterpret_cast<const char*>(info.script.bytes), info.script.length);
  const IdentityKeys keys = ReadIdentityKeys(script);
  const Product product =
      ReadProductSection({reinterpret_cast<uint8_t*>(script.data()), script.size()}, LocaleName{});
  if (!product.present) return {};
  return {{"Id", "id", product.id, true},
          {"Name", "name", product.name, true},
          {"Version", "version", product.version, true},
          {"Publisher", "publisher", product.publisher, true},
          {"Url", "url", product.url, true},
          {"Icon", "icon", product.icon, true},
          {"Copyright", "copyright", keys.copyright, false},
          {"SetupIcon", "setupIcon", keys.setupIcon, false}};
}

// What the setup file says of itself to Windows: read from its stub's
// resources; none for a stub without them.
std::optional<SetupIdentity> ReadFileIdentity(InputFile& file) {
  std::string stub(STUB_SIZE, '\0');
  if (!file.Seek(0) || file.Read(stub.data(), stub.size()) != stub.size()) return std::nullopt;
  try {
    return ReadIdentity(stub);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

std::string IconSize(const IconImage& image) {
  return std::to_string(image.Width()) + "x" + std::to_string(image.Height());
}

// Each block's decoded and stored size.
struct BlockSizes {
  uint32_t size;
  uint32_t storedSize;
};

std::vector<BlockSizes> ListBlocks(const SolidStream& solid) {
  std::vector<BlockSizes> blocks;
  const SolidHeader& header = solid.header();
  for (size_t i = 0; i < solid.blocks().size(); ++i) {
    const uint64_t start = uint64_t{header.blockSize} * i;
    const uint64_t size = std::min<uint64_t>(header.blockSize, header.streamLength - start);
    blocks.push_back({static_cast<uint32_t>(size), solid.blocks()[i].storedSize});
  }
  return blocks;
}

std::string FormatTime(const EntryTime& time) {
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%02u", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.hundredths);
  return text;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// JSON text of a stored name or script: exact when it is UTF-8 (a hand-made
// package may hold other bytes, shown escaped).
std::string JsonExact(std::string_view text) {
  return JsonString(FindInvalidUtf8(text.data(), text.size()) == text.size() ? std::string(text)
                                                                             : DisplayPath(text));
}

// A hostile script must not drive the terminal; redirected, it is exact.
std::string ForOutput(std::string_view text) {
  return isatty(STDOUT_FILENO) != 0 ? DisplayText(text) : std::string(text);
}

void PrintTable(const PackageInfo& info, const PackageTree& tree, const SolidStream* solid,
                const Listing& listing, const std::optional<SetupIdentity>& identity) {
  std::cout << "Script (" << info.script.length << " bytes):\n";
  std::cout << ForOutput(
      std::string_view(reinterpret_cast<const char*>(info.script.bytes), info.script.length));
  if (info.script.length != 0 && info.script.bytes[info.script.length - 1] != '\n') {
    std::cout << '\n';
  }
  if (const std::vector<ProductField> product = ReadProduct(info); !product.empty()) {
    std::cout << "\nProduct:\n";
    for (const ProductField& field : product) {
      if (field.value.empty()) continue;
      char label[16];
      std::snprintf(label, sizeof label, "  %-10s ", field.label);
      std::cout << label << ForOutput(field.value) << '\n';
    }
  }
  if (identity) {
    std::cout << "\nIdentity (what Windows shows of the file):\n";
    if (identity->version) {
      char label[24];
      for (const auto& [key, text] : identity->version->strings) {
        std::snprintf(label, sizeof label, "  %-16s ", VersionTextToUtf8(key).c_str());
        std::cout << label << ForOutput(VersionTextToUtf8(text)) << '\n';
      }
      std::snprintf(label, sizeof label, "  %-16s ", "(numeric)");
      std::cout << label << VersionText(identity->version->version) << '\n';
    }
    if (!identity->icon.empty()) {
      std::cout << "  Icon             " << identity->icon.size() << " images:";
      for (const IconImage& image : identity->icon) {
        std::cout << ' ' << IconSize(image) << " (" << image.bytes.size() << " bytes)";
      }
      std::cout << '\n';
    }
  }
  std::cout << "\nTree (index " << tree.indexLength << " bytes"
            << (tree.indexCompressed ? ", compressed" : "") << "; method " << MethodName(tree);
  if (tree.method == TREE_METHOD_RECORD) {
    std::cout << ": an uninstaller, listing what its setup installs, without data";
  }
  if (solid != nullptr) {
    const std::vector<BlockSizes> blocks = ListBlocks(*solid);
    std::cout << ", " << blocks.size() << " blocks of " << solid->header().blockSize
              << " bytes, dictionary " << Lzma2DictionarySize(solid->header().dictionaryProperty)
              << " bytes; stored:";
    for (const BlockSizes& block : blocks) std::cout << ' ' << block.storedSize;
  }
  std::cout << "):\n";
  std::printf("%12s %12s  %-7s  %-22s  %s\n", "Size", "Stored", "Method", "Modified (UTC)", "Path");
  std::fflush(stdout);
  for (const Listed& item : listing.entries) {
    char line[160];
    if (item.isDirectory) {
      std::snprintf(line, sizeof line, "%12s %12s  %-7s  %-22s  ", "-", "-", "-", "-");
      std::cout << line << DisplayPath(item.path) << "/";
    } else {
      const bool compressed = (item.entry.flags & ENTRY_COMPRESSED) != 0;
      const char* method = tree.method != TREE_METHOD_PER_FILE ? MethodName(tree)
                           : compressed                        ? "deflate"
                                                               : "stored";
      std::snprintf(line, sizeof line, "%12llu %12u  %-7s  %-22s  ",
                    static_cast<unsigned long long>(item.size), StoredSize(tree, item.entry),
                    method, FormatTime(item.entry.time).c_str());
      std::cout << line << DisplayPath(item.path);
    }
    if (item.problem != nullptr) std::cout << "  [" << item.problem << "]";
    std::cout << '\n';
  }
  std::cout << listing.files << " files, " << listing.bytes << " bytes (" << listing.stored
            << " stored)\n";
  if (listing.indexCutShort) std::cout << DescribeExtractIssue(EXTRACT_INDEX_CUT_SHORT) << '\n';
  if (tree.damaged) std::cout << DescribeExtractIssue(EXTRACT_TREE_DAMAGED) << '\n';
}

std::string IdentityJson(const SetupIdentity& identity) {
  std::string out = "{";
  if (identity.version) {
    out +=
        "\"version\": " + JsonString(VersionText(identity.version->version)) + ", \"strings\": {";
    const char* comma = "";
    for (const auto& [key, text] : identity.version->strings) {
      out += comma;
      comma = ", ";
      out += JsonExact(VersionTextToUtf8(key)) + ": " + JsonExact(VersionTextToUtf8(text));
    }
    out += "}, ";
  }
  out += "\"icon\": [";
  const char* comma = "";
  for (const IconImage& image : identity.icon) {
    out += comma;
    comma = ", ";
    out += "{\"size\": " + JsonString(IconSize(image)) +
           ", \"bytes\": " + std::to_string(image.bytes.size()) + "}";
  }
  return out + "]}";
}

void PrintJson(const PackageInfo& info, const PackageTree& tree, const SolidStream* solid,
               const Listing& listing, const SignatureReport& signatures,
               const std::optional<SetupIdentity>& identity) {
  std::string out = "{\n  \"script\": ";
  out += JsonExact(
      std::string_view(reinterpret_cast<const char*>(info.script.bytes), info.script.length));
  if (const std::vector<ProductField> product = ReadProduct(info); !product.empty()) {
    out += ",\n  \"product\": {";
    const char* comma = "";
    for (const ProductField& field : product) {
      if (field.value.empty() && !field.inJsonWhenEmpty) continue;
      out += comma;
      comma = ", ";
      out += JsonString(field.jsonKey) + ": " + JsonExact(field.value);
    }
    out += "}";
  }
  if (identity) out += ",\n  \"identity\": " + IdentityJson(*identity);
  out += ",\n  \"indexCompressed\": ";
  out += tree.indexCompressed ? "true" : "false";
  out += ",\n  \"method\": ";
  out += JsonString(MethodName(tree));
  if (solid != nullptr) {
    out += ",\n  \"blockSize\": " + std::to_string(solid->header().blockSize);
    out += ",\n  \"dictionarySize\": " +
           std::to_string(Lzma2DictionarySize(solid->header().dictionaryProperty));
    out += ",\n  \"blocks\": [";
    const char* comma = "";
    for (const BlockSizes& block : ListBlocks(*solid)) {
      out += comma;
      comma = ", ";
      out += "{\"size\": " + std::to_string(block.size) +
             ", \"storedSize\": " + std::to_string(block.storedSize) + "}";
    }
    out += "]";
  }
  out += ",\n  \"indexCutShort\": ";
  out += listing.indexCutShort ? "true" : "false";
  out += ",\n  \"treeDamaged\": ";
  out += tree.damaged ? "true" : "false";
  out += ",\n  \"files\": " + std::to_string(listing.files);
  out += ",\n  \"bytes\": " + std::to_string(listing.bytes);
  out += ",\n  \"storedBytes\": " + std::to_string(listing.stored);
  out += ",\n  \"signed\": ";
  out += signatures.isSigned ? "true" : "false";
  out += ",\n  \"signatures\": " + std::to_string(signatures.signatures);
  out += ",\n  \"entries\": [";
  const char* separator = "\n";
  for (const Listed& item : listing.entries) {
    out += separator;
    separator = ",\n";
    out += "    {\"path\": " + JsonExact(item.path);
    out += ", \"type\": ";
    out += item.isDirectory ? "\"directory\"" : "\"file\"";
    if (!item.isDirectory) {
      const EntryTime& t = item.entry.time;
      char time[48];
      std::snprintf(time, sizeof time, "\"%04u-%02u-%02uT%02u:%02u:%02u.%02uZ\"", t.year, t.month,
                    t.day, t.hour, t.minute, t.second, t.hundredths);
      out += ", \"size\": " + std::to_string(item.size);
      const uint32_t stored = StoredSize(tree, item.entry);
      out += ", \"storedSize\": " + std::to_string(stored);
      if (stored != 0) out += ", \"offset\": " + std::to_string(item.entry.offset);
      out += ", \"compressed\": ";
      out += (item.entry.flags & ENTRY_COMPRESSED) != 0 ? "true" : "false";
      out += ", \"time\": ";
      out += time;
    }
    if (item.problem != nullptr) out += ", \"problem\": " + JsonString(item.problem);
    out += "}";
  }
  out += "\n  ]\n}\n";
  std::cout << out;
}

}  // namespace

void setup_list(CLI::App& app) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* command =
      app.add_subcommand("list", "Show the script and the file tree of a setup program");
  command->add_option("file", options->file, "The setup program")->required();
  command->add_flag("--json", options->json, "Machine-readable output");
  command->callback([options] {
    if (const int code = run_list(*options); code != 0) throw CLI::RuntimeError(code);
  });
}

int run_list(const ListOptions& options) {
  std::unique_ptr<InputFile> file;
  PackageInfo info;
  if (const int code = OpenVerifiedPackage(options.file, &file, &info); code != 0) return code;
  PackageTree tree;
  if (!OpenPackageTree(*file, info.treeOffset, &tree)) {
    PrintError(DisplayPath(options.file), "out of memory reading the index");
    return 2;
  }
  Listing listing;
  ListingVisitor visitor(*file, tree, listing);
  // The paths extract accepts: those behind the shortest target and its separator.
  listing.indexCutShort = !WalkTree(tree, SHORTEST_TARGET_UNITS + 1, visitor);
  SolidStream solidStream;
  const SolidStream* solid = nullptr;
  if (tree.method == TREE_METHOD_SOLID_LZMA2 && solidStream.Open(*file, tree.dataBase)) {
    solid = &solidStream;
  }
  if (options.json) {
    PrintJson(info, tree, solid, listing, ReportSignatures(*file), ReadFileIdentity(*file));
  } else {
    PrintTable(info, tree, solid, listing, ReadFileIdentity(*file));
  }
  return tree.damaged || listing.indexCutShort ? 1 : 0;
}
