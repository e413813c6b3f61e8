#include "builder/setup_identity.h"

#include <gtest/gtest.h>

#include "build_command.h"
#include "builder/pe_bytes.h"
#include "builder/pe_image.h"
#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/pe_signature.h"
#include "package/tree_walker.h"
#include "platform/memory_tree_output.h"
#include "scratch_dir.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// The stub the win32 preset built beside mksetup: its real sections and
// resources are what the writer must keep.
std::string RealStub() {
  const Bytes bytes = fs::exists(SETUP_TEST_STUB) ? ReadFile(SETUP_TEST_STUB) : Bytes();
  return std::string(bytes.begin(), bytes.end());
}

// An .ico of random images, one per width given (0 for 256), `bytes` each.
std::string Ico(const std::vector<std::pair<uint8_t, size_t>>& images) {
  std::string ico;
  std::string data;
  for (const size_t field : {size_t{0}, size_t{1}, images.size()}) {
    PutU16(ico, static_cast<uint16_t>(field));
  }
  for (const auto& [width, bytes] : images) {
    ico += {static_cast<char>(width), static_cast<char>(width), 0, 0};
    PutU16(ico, 1);
    PutU16(ico, 32);
    PutU32(ico, static_cast<uint32_t>(bytes));
    PutU32(ico, static_cast<uint32_t>(6 + 16 * images.size() + data.size()));
    const Bytes random = RandomBytes(bytes, width);
    data.append(random.begin(), random.end());
  }
  return ico + data;
}

Product ExProduct() {
  Product product;
  product.present = true;
  product.id = "Ex.App";
  product.name = "Ex \xC3\x84pp \xF0\x9F\x98\x80";  // a character beyond U+FFFF
  product.version = "1.2.3-beta";
  product.publisher = "Ex Inc.";
  return product;
}

std::string StubOf(const Bytes& setup) {
  return std::string(setup.begin(), setup.begin() + STUB_SIZE);
}

}  // namespace

// The version resource and the icon read back field by field and byte by
// byte; every other section, and every other resource, is the stub's.
TEST(SetupIdentityTest, ReadsBackAndLeavesTheRestOfTheStub) {
  const std::string stub = RealStub();
  if (stub.empty()) GTEST_SKIP() << "no stub at " << SETUP_TEST_STUB;
  const std::string ico = Ico({{16, 300}, {32, 1201}, {48, 2000}, {0, 4000}});
  SetupIdentity identity{ProductVersionInfo(ExProduct(), "\xC2\xA9 2024 Ex", "Setup"),
                         ReadIconFile(ico)};
  const std::string out = WithIdentity(stub, identity);
  ASSERT_EQ(out.size(), STUB_SIZE);

  const SetupIdentity read = ReadIdentity(out);
  ASSERT_TRUE(read.version);
  EXPECT_EQ(VersionText(read.version->version), "1.2.3.0");
  const std::vector<std::pair<std::u16string, std::u16string>> texts = {
      {u"CompanyName", u"Ex Inc."},
      {u"FileDescription", u"Ex \u00C4pp \U0001F600 Setup"},
      {u"FileVersion", u"1.2.3-beta"},
      {u"LegalCopyright", u"\u00A9 2024 Ex"},
      {u"ProductName", u"Ex \u00C4pp \U0001F600"},
      {u"ProductVersion", u"1.2.3-beta"}};
  EXPECT_EQ(read.version->strings, texts);
  ASSERT_EQ(read.icon.size(), 4u);
  for (size_t i = 0, at = 6 + 16 * 4; i < read.icon.size(); at += read.icon[i++].bytes.size()) {
    EXPECT_EQ(read.icon[i].entry, ico.substr(6 + 16 * i, 12));
    EXPECT_EQ(read.icon[i].bytes, ico.substr(at, read.icon[i].bytes.size()));
  }

  const PeImage before = ReadPeImage(stub);
  const PeImage after = ReadPeImage(out);
  ASSERT_EQ(after.sections.size(), before.sections.size());
  for (size_t i = 0; i < after.sections.size(); ++i) {
    if (i != after.resources) {
      EXPECT_EQ(SectionBytes(out, after.sections[i]), SectionBytes(stub, before.sections[i])) << i;
    }
  }
  const PeSection& last = after.sections.back();
  EXPECT_EQ(FieldU32(out, after.optionalAt + 56),
            (last.virtualAddress + last.virtualSize + 0xFFF) / 0x1000 * 0x1000);
  const auto manifests = [](std::string_view image, const PeImage& pe) {
    const PeSection& section = pe.sections[pe.resources];
    std::vector<Resource> all = ReadResources(SectionBytes(image, section), section.virtualAddress);
    std::erase_if(all, [](const Resource& resource) { return resource.type.id != 24; });
    return all.size() == 1 ? all[0].data : std::string();
  };
  EXPECT_NE(manifests(stub, before), "");
  EXPECT_EQ(manifests(out, after), manifests(stub, before));
  EXPECT_EQ(WithIdentity(stub, {}), stub);

  for (const auto& [text, numbers] : {std::pair{"10", "10.0.0.0"},
                                      {"v2", "0.0.0.0"},
                                      {"1.70000.3", "1.0.0.0"},
                                      {"1.2.3.4.5", "1.2.3.4"}}) {
    EXPECT_EQ(VersionText(NumericVersion(text)), numbers) << text;
  }
}

// The refusal names the room there is, and an icon of that size fits; a
// broken .ico is refused before anything is written.
TEST(SetupIdentityTest, AnIconTooLargeNamesTheRoom) {
  const std::string stub = RealStub();
  if (stub.empty()) GTEST_SKIP() << "no stub at " << SETUP_TEST_STUB;
  std::string said;
  try {
    WithIdentity(stub, {std::nullopt, ReadIconFile(Ico({{0, 60000}}))});
  } catch (const IconError& error) {
    said = error.what();
  }
  const size_t at = said.find("at most ");
  ASSERT_NE(at, std::string::npos) << said;
  EXPECT_NE(said.find("16, 32 and 48 and a PNG-compressed 256"), std::string::npos) << said;
  const size_t room = std::stoul(said.substr(at + 8));
  EXPECT_GT(room, 4000u);
  EXPECT_EQ(ReadIdentity(WithIdentity(stub, {std::nullopt, ReadIconFile(Ico({{0, room}}))}))
                .icon[0]
                .bytes.size(),
            room);
  std::string outside = Ico({{16, 40}});
  outside.pop_back();
  for (const std::string& broken : {std::string("\0\0\2\0\1\0", 6), Ico({}), outside}) {
    EXPECT_THROW(ReadIconFile(broken), IconError);
  }
}

// Through mksetup build: [product] with Copyright= and SetupIcon= (an .ico
// beside the script) gives
// the setup and its uninstaller their identity; without them the stub is
// copied as it is.
TEST(SetupIdentityTest, BuildWritesTheIdentityOnlyWhenAsked) {
  const std::string stub = RealStub();
  if (stub.empty()) GTEST_SKIP() << "no stub at " << SETUP_TEST_STUB;
  ScratchDir scratch;
  WriteFile(scratch.path() / "tree" / "a.txt", ToBytes("a"));
  WriteFile(scratch.path() / "stub.exe", ToBytes(stub));
  const std::string ico = Ico({{32, 500}});
  WriteFile(scratch.path() / "app.ico", ToBytes(ico));
  const std::string locale = "[locale]\nT\nPrompt\nC:\\t\nStart\nBusy\nCopying\n";
  for (const bool product : {false, true}) {
    WriteFile(scratch.path() / "script.txt",
              ToBytes(locale +
                      (product ? "[product]\nId=Ex.App\nName=Ex\ncopyRight=C\nSetupIcon=app.ico\n"
                               : "")));
    BuildOptions options;
    options.script = (scratch.path() / "script.txt").string();
    options.tree = (scratch.path() / "tree").string();
    options.output = (scratch.path() / "setup.exe").string();
    options.stub = (scratch.path() / "stub.exe").string();
    options.quiet = true;
    options.strict = true;  // the linter knows the builder's own keys
    ASSERT_EQ(run_build(options), 0);
    const Bytes setup = ReadFile(options.output);
    if (!product) {
      std::string cleared = stub;
      PeSignatureFields fields;
      ASSERT_TRUE(FindPeSignatureFields(reinterpret_cast<const uint8_t*>(cleared.data()),
                                        cleared.size(), &fields));
      ClearPeSignatureFields(reinterpret_cast<uint8_t*>(cleared.data()), fields);
      EXPECT_EQ(StubOf(setup), cleared);
      continue;
    }
    MemoryInputFile input(setup.data(), setup.size());
    PackageInfo info;
    ASSERT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
    MemoryTreeOutput installed;
    EXPECT_TRUE(ExtractTree(input, info.treeOffset, installed, {}).Clean());
    const SetupIdentity setupIdentity = ReadIdentity(StubOf(setup));
    const SetupIdentity uninstaller = ReadIdentity(StubOf(installed.Find(u"uninstall.exe")->bytes));
    EXPECT_EQ(setupIdentity.version->Text(u"FileDescription"), u"Ex Setup");
    EXPECT_EQ(uninstaller.version->Text(u"FileDescription"), u"Ex Uninstall");
    EXPECT_EQ(uninstaller.version->Text(u"LegalCopyright"), u"C");
    EXPECT_EQ(uninstaller.icon[0].bytes, ico.substr(22));
    EXPECT_EQ(setupIdentity.icon[0].bytes, ico.substr(22));
  }
}
