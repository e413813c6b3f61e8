#include "builder/tree_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "builder/upper_case.h"
#include "builder_support.h"
#include "package/package_format.h"
#include "unsafe_names.h"

namespace {

TreeEntry File(const std::string& name) { return FileEntry(name); }

void ExpectTreeRefused(const TreeEntry& root, const std::string& path, const std::string& message) {
  ExpectRefusal([&] { ValidateTree(root); }, path, message);
}

}  // namespace

TEST(TreeRulesTest, RefusesEveryUnsafeNameSayingWhy) {
  const std::map<FileNameProblem, std::string> kReasons = {
      {FILE_NAME_EMPTY, "an empty name"},
      {FILE_NAME_DOT, "'.' and '..' cannot be names"},
      {FILE_NAME_SEPARATOR, "path separator"},
      {FILE_NAME_CONTROL, "control character"},
      {FILE_NAME_RESERVED_CHAR, "a character Windows reserves"},
      {FILE_NAME_TRAILING, "ends with a dot or a blank"},
      {FILE_NAME_DEVICE, "reserved device name"},
  };
  for (const UnsafeName& name : kUnsafeNames) {
    SCOPED_TRACE(name.bytes);
    const std::string reason =
        name.encodingRefusal != nullptr ? name.encodingRefusal : kReasons.at(name.problem);
    ExpectTreeRefused(Directory("", {Directory("d", {File("ok"), File(name.bytes)})}),
                      "d/" + name.bytes, reason);
  }
}

TEST(TreeRulesTest, RefusesNamesAndPathsTheStubCannotKeep) {
  std::string longestName;  // 510 bytes, 170 units: fits both limits
  for (int i = 0; i < 170; ++i) longestName += "\xE2\x82\xAC";
  const std::string segment(200, 's');
  struct Case {
    TreeEntry root;
    std::string path;
    std::string message;
  } const cases[] = {
      {Directory("", {File(std::string(MAX_ENTRY_NAME_BYTES + 1, 'n'))}),
       std::string(MAX_ENTRY_NAME_BYTES + 1, 'n'), "511 bytes long; the limit is 510"},
      // Malformed bytes the stub would read past are refused all the same,
      // before a character outside the BMP.
      {Directory("", {File("bad\xFFname")}), "bad\xFFname", "not valid UTF-8"},
      {Directory("", {File("\xF0\x9F\x98\x80\xFF")}), "\xF0\x9F\x98\x80\xFF", "not valid UTF-8"},
      {Directory("", {File("\xF0\x9F\x98\x80")}), "\xF0\x9F\x98\x80", "Basic Multilingual"},
      {Directory("", {File(longestName), File("A.txt"), File("a.TXT")}), "a.TXT",
       "differs only in letter case from 'A.txt'"},
      {Directory("", {File("\xC3\x89t\xC3\xA9"), File("\xC3\xA9T\xC3\x89")}), "\xC3\xA9T\xC3\x89",
       "letter case"},
      {Directory("", {File("\xEF\xBC\xA1"), File("\xEF\xBD\x81")}),  // full-width A, a
       "\xEF\xBD\x81", "letter case"},
      {Directory("", {Directory(segment, {Directory(segment, {File(segment)})})}),
       segment + "/" + segment + "/" + segment, "602 UTF-16 units long; the limit is 508"},
      {Directory("", {Directory(std::string(250, 'p'), {File(std::string(258, 'f'))})}),
       std::string(250, 'p') + "/" + std::string(258, 'f'), "509 UTF-16 units"},
  };
  for (const Case& c : cases) ExpectTreeRefused(c.root, c.path, c.message);

  // The limits themselves are fine: 508 units over several folders, a name
  // of 510 bytes, and names that differ in case only in other folders.
  EXPECT_NO_THROW(ValidateTree(Directory(
      "", {Directory(std::string(168, 'p'),
                     {Directory(std::string(168, 'q'), {File(std::string(170, 'f'))})}),
           Directory("a", {File("x")}), Directory("b", {File("X")}), File(longestName)})));
}

TEST(TreeRulesTest, LetterCaseAsWindowsComparesNames) {
  const std::pair<char16_t, char16_t> cases[] = {
      {u'a', u'A'},     {u'z', u'Z'},     {u'A', u'A'},     {u'1', u'1'},     {0x00E9, 0x00C9},
      {0x00FF, 0x0178}, {0x00B5, 0x039C}, {0x00DF, 0x00DF}, {0x0101, 0x0100}, {0x0100, 0x0100},
      {0x017A, 0x0179}, {0x017F, u'S'},   {0x0131, u'I'},   {0x01C5, 0x01C4}, {0x03C2, 0x03A3},
      {0x10D0, 0x1C90}, {0x1F80, 0x1F88}, {0x1FB2, 0x1FB2}, {0x1D79, 0xA77D}, {0xAB70, 0x13A0},
      {0xFF41, 0xFF21}, {0xFF5A, 0xFF3A}, {0xFF5B, 0xFF5B}, {0xD801, 0xD801}, {0xFFFF, 0xFFFF},
      {0x0000, 0x0000},
  };
  for (const auto& [lower, upper] : cases) {
    EXPECT_EQ(static_cast<int>(ToUpperCase(lower)), static_cast<int>(upper))
        << std::hex << static_cast<int>(lower);
  }
}

TEST(TreeRulesTest, SortsByTheNamesBytes) {
  TreeEntry a = Directory("a");
  a.children = {File("z"), File("Z")};
  TreeEntry root = Directory("");
  root.children = {File("b"), a, File("B"), File("\xC3\xA9"), File("a.txt")};
  SortTree(root);
  std::vector<std::string> order;
  for (const TreeEntry& child : root.children) order.push_back(child.name);
  EXPECT_EQ(order, (std::vector<std::string>{"B", "a", "a.txt", "b", "\xC3\xA9"}));
  EXPECT_EQ(root.children[1].children[0].name, "Z");
}

TEST(TreeRulesTest, ScriptsWithEncodingErrorsAreRefusedByLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"ok\nbad \xC0\xAF\n", "the script is not valid UTF-8 (line 2, byte offset 7)"},
      {"a\n\nx" + std::string(1, '\0'), "line 3: a NUL byte"},
      {"a\n\xF0\x9F\x98\x80\n", "line 2: a character outside the Basic Multilingual Plane"},
  };
  for (const auto& c : cases) {
    ExpectRefusal([&] { ValidateScript(c.first); }, "", c.second);
  }
  EXPECT_NO_THROW(ValidateScript("[locale]\r\n\xC3\xA9\xEF\xBF\xBF\r\n"));
}
