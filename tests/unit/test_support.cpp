#include "test_support.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include "base/byte_order.h"
#include "package/package_format.h"
#include "package/sha1.h"

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes RawDeflate(const Bytes& data, int level, bool finish) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, finish ? Z_FINISH : Z_SYNC_FLUSH) != (finish ? Z_STREAM_END : Z_OK)) {
    throw std::runtime_error("deflate");
  }
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

Bytes TextLikeBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"setup ", "file ",         "tree ", "window\r\n",
                                       "data ",  "[install]\r\n", "copy ", "%TARGET% "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const char* word = kWords[rng() % 8];
    out.insert(out.end(), word, word + strlen(word));
  }
  out.resize(size);
  return out;
}

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    out += "0123456789abcdef"[bytes[i] >> 4];
    out += "0123456789abcdef"[bytes[i] & 15];
  }
  return out;
}

std::string Sha1Hex(std::string_view data) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1UpdateLarge(&context, data.data(), data.size());
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&context, digest);
  return Hex(digest, sizeof digest);
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    char escaped[8];
    snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
    out += unit < 0x80 ? std::string(1, static_cast<char>(unit)) : escaped;
  }
  return out;
}

Bytes FakeStub() {
  Bytes stub(STUB_SIZE);
  stub[0] = 'M';
  stub[1] = 'Z';
  for (size_t i = 2; i < stub.size(); ++i) stub[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  return stub;
}

void ResealPackage(Bytes& package) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
  Sha1Update(&context, package.data(), static_cast<int32_t>(STUB_SIZE));
  Sha1UpdateLarge(&context, package.data() + SCRIPT_FLAG_OFFSET,
                  package.size() - SCRIPT_FLAG_OFFSET);
  Sha1Final(&context, package.data() + PACKAGE_DIGEST_OFFSET);
}

Bytes AssemblePackage(const Bytes& stub, uint8_t scriptFlag, const Bytes& script,
                      const Bytes& tree) {
  Bytes package = stub;
  package.resize(SCRIPT_FLAG_OFFSET, 0);
  package.push_back(scriptFlag);
  uint8_t length[4];
  EncodeU32(length, static_cast<uint32_t>(script.size()));
  package.insert(package.end(), length, length + 4);
  package.insert(package.end(), script.begin(), script.end());
  package.insert(package.end(), tree.begin(), tree.end());
  ResealPackage(package);
  return package;
}

TreeSection& TreeSection::Dir(const std::string& name) {
  AppendDirectoryEntry(index, name.data(), name.size());
  return *this;
}

TreeSection& TreeSection::End(uint8_t type) {
  AppendEndEntry(index, type);
  return *this;
}

TreeSection& TreeSection::File(const std::string& name, const Bytes& stored, EntryTime time,
                               uint32_t flags) {
  AppendFileEntry(index, name.data(), name.size(), flags, time,
                  static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(data.size()));
  data.insert(data.end(), stored.begin(), stored.end());
  return *this;
}

TreeSection& TreeSection::Deflated(const std::string& name, const Bytes& contents, int level) {
  return File(name, RawDeflate(contents, level), kEntryTime, ENTRY_COMPRESSED);
}

TreeSection& TreeSection::RawFile(const std::string& name, uint32_t size, uint32_t offset) {
  AppendFileEntry(index, name.data(), name.size(), 0, kEntryTime, size, offset);
  return *this;
}

Bytes TreeSection::Build(bool compressIndex) const {
  const Bytes stored(index.begin(), index.end());
  return Section(compressIndex ? 1 : 0, compressIndex ? RawDeflate(stored) : stored, data);
}

Bytes TreeSection::Section(uint8_t flag, const Bytes& index, const Bytes& data) {
  Bytes out(SECTION_HEAD_SIZE + index.size() + TREE_DATA_LENGTH_SIZE);
  EncodeSectionHead(out.data(), {flag, static_cast<uint32_t>(index.size())});
  std::copy(index.begin(), index.end(), out.begin() + SECTION_HEAD_SIZE);
  EncodeU32(out.data() + SECTION_HEAD_SIZE + index.size(), static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TreeSection WorkedExample() {
  TreeSection tree;
  tree.Dir("sub").File("a.txt", ToBytes("hello")).File("e.txt", {}).End().End(ENTRY_END);
  return tree;
}

HeapScript::HeapScript(std::string_view text)
    : bytes_(std::make_unique<uint8_t[]>(text.size())), size_(text.size()) {
  std::copy(text.begin(), text.end(), bytes_.get());
}

Lines HeapScript::Body(uint8_t* body) const {
  if (body == nullptr) return {"(absent)"};
  Lines lines;
  WalkBody(text(), body, [&](char* line, size_t length) {
    if (line[length] != '\0') throw std::logic_error("a line without its NUL");
    lines.emplace_back(line, length);
  });
  return lines;
}

Bytes PeStub(bool plus) {
  Bytes stub = FakeStub();
  EncodeU32(stub.data() + 0x3C, 0x80);
  const uint8_t coff[24] = {'P', 'E', 0, 0, 0x4C, 0x01, 1, 0, 0,    0, 0, 0,
                            0,   0,   0, 0, 0,    0,    0, 0, 0xE0, 0, 2, 1};
  std::memcpy(stub.data() + 0x80, coff, sizeof coff);
  const size_t optional = 0x80 + sizeof coff;
  EncodeU16(stub.data() + optional, plus ? 0x20B : 0x10B);
  if (plus) EncodeU16(stub.data() + 0x80 + 20, 0xF0);
  EncodeU32(stub.data() + kPeChecksumAt, 0x3ACCC);
  EncodeU32(stub.data() + optional + (plus ? 108 : 92), 16);
  std::memset(stub.data() + PeSecurityEntryAt(plus), 0, 8);
  return stub;
}

void AppendSignature(Bytes& file, bool plus, const std::vector<uint32_t>& records) {
  file.resize((file.size() + 7) / 8 * 8, 0);
  const size_t table = file.size();
  for (uint32_t length : records) {
    uint8_t header[8];
    EncodeU32(header, length);
    EncodeU16(header + 4, 0x0200);
    EncodeU16(header + 6, 2);
    file.insert(file.end(), header, header + 8);
    const Bytes contents = RandomBytes(length - 8, length);
    file.insert(file.end(), contents.begin(), contents.end());
    file.resize((file.size() + 7) / 8 * 8, 0);
  }
  EncodeU32(file.data() + PeSecurityEntryAt(plus), static_cast<uint32_t>(table));
  EncodeU32(file.data() + PeSecurityEntryAt(plus) + 4, static_cast<uint32_t>(file.size() - table));
  EncodeU32(file.data() + kPeChecksumAt, static_cast<uint32_t>(file.size() * 31));
}
