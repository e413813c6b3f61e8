// [register] lines written into the real registry and read back with their
// exact types and data sizes. How a line reads is the parser's business
// (tests/unit/registry_line_test.cpp); here each kind of value once.
#include <cstring>

#include "action_test_support.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\SetupActionsTest";

struct StoredValue {
  bool found = false;
  DWORD type = REG_NONE;
  std::string data;
};

StoredValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  StoredValue value;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return value;
  char data[1024];
  DWORD size = sizeof(data);
  value.found = RegQueryValueExW(opened, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data),
                                 &size) == ERROR_SUCCESS;
  if (value.found) value.data.assign(data, size);
  RegCloseKey(opened);
  return value;
}

std::string Dword(uint32_t number) {
  std::string bytes(4, '\0');
  memcpy(bytes.data(), &number, 4);
  return bytes;
}

// UTF-16 with its zero unit, as REG_SZ stores it.
std::string Sz(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()),
                     (text.size() + 1) * sizeof(wchar_t));
}

class RegistryActionTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
    ActionTest::TearDown();
  }

  static void ExpectValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type,
                          const std::string& data) {
    const StoredValue value = ReadValue(root, key, name);
    ASSERT_TRUE(value.found) << "value \"" << testing::PrintToString(std::wstring(name)) << "\"";
    EXPECT_EQ(value.type, type);
    EXPECT_EQ(value.data, data);
  }
};

TEST_F(RegistryActionTest, WritesNumbersAndStringsWithTheirExactData) {
  DoRegisterSection(
      Context("[register]\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Count=DWORD:1A\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Wide=DWORD:1FFFFFFFF\r\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Empty=\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Gr\xC3\xBC\xC3\x9F"
              "e=\xE2\x82\xAC 5\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Nested\\Deeper\\ Name =x\n"
              "HKEY_LOCAL_MACHINE\\Software\\SetupActionsTest\\=C:\\Dir"));

  const std::wstring key = kTestKey;
  ExpectValue(HKEY_CURRENT_USER, key, L"Count", REG_DWORD, Dword(26));
  ExpectValue(HKEY_CURRENT_USER, key, L"Wide", REG_DWORD, Dword(0xFFFFFFFF));
  ExpectValue(HKEY_CURRENT_USER, key, L"Empty", REG_SZ, Sz(L""));
  ExpectValue(HKEY_CURRENT_USER, key, L"Gr\u00FC\u00DFe", REG_SZ, Sz(L"\u20AC 5"));
  ExpectValue(HKEY_CURRENT_USER, key + L"\\Nested\\Deeper", L" Name ", REG_SZ, Sz(L"x"));
  // The key's default value; the value's backslashes play no part.
  ExpectValue(HKEY_LOCAL_MACHINE, key, L"", REG_SZ, Sz(L"C:\\Dir"));
}

TEST_F(RegistryActionTest, SkipsMalformedLinesAndGoesOn) {
  const std::wstring key = kTestKey;
  DoRegisterSection(
      Context("[register]\n"
              "HKEY_CURRENT_USER\\Name=1\n"  // no key path
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\" +
              std::string(512, 'n') +
              "=too long a name\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\After=still written\n"
              "[shortcuts]\n"
              "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\Outside=not a register line\n"));

  ExpectValue(HKEY_CURRENT_USER, key, L"After", REG_SZ, Sz(L"still written"));
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &opened), ERROR_SUCCESS);
  DWORD values = 0;
  RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  EXPECT_EQ(values, 1u) << "only the well-formed line inside the section writes";
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, L"Software", L"Name").found);
}

TEST_F(RegistryActionTest, AbsentSectionWritesNothing) {
  DoRegisterSection(Context("[run]\nHKEY_CURRENT_USER\\Software\\SetupActionsTest\\X=1\n"));
  HKEY opened = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &opened), ERROR_SUCCESS);
}

}  // namespace
