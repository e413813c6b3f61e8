// The shipped setup-stub.exe as a whole: its padded size, and what it does
// when started bare and with a damaged package (the installs themselves are
// the end-to-end tests'). SETUP_STUB_EXE names the padded stub.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "child_process.h"
#include "package/package_format.h"
#include "package/sha1.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Generous: under i386 emulation one start of the stub takes over a minute.
constexpr DWORD kRunTimeoutMs = 600000;

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

// A file of its own in the temporary folder, removed at the end of the test.
class TempFile {
 public:
  explicit TempFile(const wchar_t* name)
      : path_(TempDirectory() + L"stub_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              name) {}
  ~TempFile() { DeleteFileW(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  void Write(const Bytes& bytes) const {
    std::ofstream out(path_.c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

Bytes ReadStub() {
  std::ifstream in(SETUP_STUB_EXE, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The stub followed by a sealed package holding only `script`, stored plain.
Bytes WithPackage(const Bytes& stub, const std::string& script) {
  Bytes tail = {0};
  uint8_t length[4];
  EncodeU32(length, static_cast<uint32_t>(script.size()));
  tail.insert(tail.end(), length, length + 4);
  tail.insert(tail.end(), script.begin(), script.end());

  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
  Sha1UpdateLarge(&context, stub.data(), stub.size());
  Sha1UpdateLarge(&context, tail.data(), tail.size());
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&context, digest);

  Bytes out = stub;
  out.insert(out.end(), digest, digest + SHA1_DIGEST_SIZE);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

DWORD RunStub(const std::wstring& program, const std::wstring& arguments = L"") {
  ChildProcess process(program, arguments);
  if (!process.started()) return kChildNotEnded;
  return process.Wait(kRunTimeoutMs);
}

TEST(StubTest, ShippedStubIsPaddedToExactlyStubSize) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(SETUP_STUB_EXE, GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.nFileSizeLow, STUB_SIZE);

  Bytes stub = ReadStub();
  ASSERT_EQ(stub.size(), STUB_SIZE);
  EXPECT_EQ(stub[0], 'M');
  EXPECT_EQ(stub[1], 'Z');
  EXPECT_EQ(stub.back(), 0);
}

// Nothing to install: the bare stub ends at once instead of idling without
// a window.
TEST(StubTest, BareStubExitsZeroAtOnce) { EXPECT_EQ(RunStub(SETUP_STUB_EXE), 0u); }

// The message box itself is for the end-to-end tests under Xvfb. ctest runs
// wine without a display, where MessageBoxW returns at once and only the exit
// code is seen; with a display the box would wait for a click, and wine takes
// DISPLAY from the Unix environment whatever the child's block says.
TEST(StubTest, DamagedPackageExitsOne) {
  Bytes package = WithPackage(ReadStub(), "[Setup]\r\n");
  package.back() ^= 1;
  TempFile setup(L"damaged.exe");
  setup.Write(package);
  if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) != 0) {
    GTEST_SKIP() << "a display is set: the message box would wait for a click";
  }
  EXPECT_EQ(RunStub(setup.path()), 1u);

  Bytes cut = ReadStub();
  cut.resize(cut.size() + 7);  // longer than a bare stub, too short for a digest
  TempFile shortSetup(L"short.exe");
  shortSetup.Write(cut);
  EXPECT_EQ(RunStub(shortSetup.path()), 1u);
}

}  // namespace
