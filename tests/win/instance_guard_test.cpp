// The single-instance guard between real processes: copies of guard_probe
// (GUARD_PROBE_EXE) at fresh paths, started as first and second instances.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the descriptor language's header builds on it.
#include <sddl.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/single_instance.h"

namespace {

constexpr DWORD kWaitMs = 30000;
constexpr DWORD kNotEnded = 0xBAD0BAD0;  // no probe exits with it

// A started program, ended at the end of the scope if it still runs.
class Child {
 public:
  Child(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info_) != 0;
    if (started) CloseHandle(info_.hThread);
  }
  ~Child() {
    if (!started) return;
    if (Wait(0) == kNotEnded) TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, kWaitMs);
    CloseHandle(info_.hProcess);
  }
  // The exit code, or kNotEnded when the process outlives the wait.
  DWORD Wait(DWORD timeoutMs) const {
    DWORD code = kNotEnded;
    if (started && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      GetExitCodeProcess(info_.hProcess, &code);
    }
    return code;
  }
  bool started = false;

 private:
  PROCESS_INFORMATION info_{};
};

// A setting of the probe for every later start; 0 removes it.
void SetNumber(const wchar_t* name, DWORD value) {
  SetEnvironmentVariableW(name, value != 0 ? std::to_wstring(value).c_str() : nullptr);
}

// A copy of the probe at a path of its own (the long form the guard names the
// instance by), with its own log file; both are removed at the end.
class Probe {
 public:
  Probe() {
    static int count = 0;
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    GetLongPathNameW(temp, temp, MAX_PATH + 1);
    std::wstring base = temp + (L"guard_probe_" + std::to_wstring(GetCurrentProcessId())) + L"_" +
                        std::to_wstring(++count);
    program = base + L".exe";
    log = base + L".log";
    copied = CopyFileW(GUARD_PROBE_EXE, program.c_str(), FALSE) != 0;
  }
  ~Probe() {
    DeleteFileW(program.c_str());
    DeleteFileW(log.c_str());
  }

  // Started with this copy's log, and busy (not pumping) for `busyMs` after "start".
  std::unique_ptr<Child> Start(const std::wstring& arguments, DWORD busyMs = 0,
                               const wchar_t* as = nullptr) {
    SetEnvironmentVariableW(L"GUARD_PROBE_LOG", log.c_str());
    SetNumber(L"GUARD_PROBE_DELAY_MS", busyMs);
    return std::make_unique<Child>(as != nullptr ? as : program, arguments);
  }
  // A start expected to end by itself, through another spelling of the path
  // when given one: its exit code and duration.
  DWORD Run(const std::wstring& arguments, ULONGLONG* elapsedMs = nullptr,
            const wchar_t* as = nullptr) {
    ULONGLONG begin = GetTickCount64();
    DWORD code = Start(arguments, 0, as)->Wait(kWaitMs);
    if (elapsedMs != nullptr) *elapsedMs = GetTickCount64() - begin;
    return code;
  }

  std::string Log() const {
    std::ostringstream text;
    text << std::ifstream(log.c_str(), std::ios::binary).rdbuf();
    return text.str();
  }
  // Waits until the log ends with `tail`; returns the log either way.
  std::string WaitForLog(const std::string& tail) const {
    std::string text;
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < kWaitMs; Sleep(20)) {
      text = Log();
      if (text.ends_with(tail)) break;
    }
    return text;
  }
  // The same, then starts a new log.
  std::string TakeLog(const std::string& tail) const {
    std::string text = WaitForLog(tail);
    DeleteFileW(log.c_str());
    return text;
  }

  // The names the running instance published, as the guard derives them.
  std::wstring EventName() const {
    std::u16string name = InstanceName(reinterpret_cast<const char16_t*>(program.c_str()));
    return std::wstring(name.begin(), name.end());
  }
  std::wstring BlockName() const { return EventName() + L"_MEM"; }

  std::wstring program, log;
  bool copied = false;
};

bool KernelObjectsExist(const Probe& probe) {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, probe.EventName().c_str());
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, probe.BlockName().c_str());
  EXPECT_EQ(event != nullptr, mapping != nullptr) << "event and block exist only together";
  if (event != nullptr) CloseHandle(event);
  if (mapping != nullptr) CloseHandle(mapping);
  return event != nullptr || mapping != nullptr;
}

class InstanceGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(probe_.copied); }
  void TearDown() override {
    SetNumber(L"GUARD_PROBE_LIFETIME_MS", 0);
    SetNumber(L"GUARD_PROBE_INIT_RESULT", 0);
  }
  // Starts the first instance on an empty log and waits until it runs its loop.
  void StartFirst(DWORD busyMs = 0) {
    first_ = probe_.Start(L"", busyMs);
    ASSERT_TRUE(first_->started);
    ASSERT_EQ(probe_.WaitForLog("start\n"), "start\n");
  }
  // Ends the first instance through the channel; returns its log.
  std::string StopFirst() {
    EXPECT_EQ(probe_.Run(L"stop"), 1u);
    EXPECT_EQ(first_->Wait(kWaitMs), 0u);
    return probe_.TakeLog("exit\n");
  }

  Probe probe_;
  std::unique_ptr<Child> first_;
};

TEST_F(InstanceGuardTest, SecondStartsForwardTheirTextAndExit1) {
  StartFirst();
  EXPECT_TRUE(KernelObjectsExist(probe_));
  EXPECT_EQ(probe_.Run(L""), 1u);
  probe_.WaitForLog("repeat\n");
  EXPECT_EQ(probe_.Run(L"D:\\Target dir "), 1u);
  probe_.WaitForLog("repeat D:\\Target dir \n");
  // A text longer than the block holds arrives cut, whole characters only.
  EXPECT_EQ(probe_.Run(std::wstring(104, L'a') + L"\u20ac\u20ac"), 1u);
  const std::string cut = "repeat " + std::string(104, 'a') + "\xE2\x82\xAC";  // 114 bytes
  probe_.WaitForLog(cut + "\n");

  // Only the exact quit word is a quit request, which waits for the running
  // instance to decide what it means: the probe goes on.
  ULONGLONG elapsed = 0;
  EXPECT_EQ(probe_.Run(L"---quit", &elapsed), 1u);
  EXPECT_GE(elapsed, 1900u);
  probe_.WaitForLog("---quit\n");
  EXPECT_EQ(first_->Wait(0), kNotEnded);
  EXPECT_EQ(probe_.Run(L"---quit ", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  probe_.WaitForLog("repeat ---quit \n");
  EXPECT_EQ(probe_.Run(L"---QUIT", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  probe_.WaitForLog("repeat ---QUIT\n");

  // Where the copy has an 8.3 name, that path finds the same instance.
  wchar_t shortPath[MAX_PATH];
  DWORD length = GetShortPathNameW(probe_.program.c_str(), shortPath, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  const bool hasShortName = probe_.program != shortPath;
  if (hasShortName) {
    EXPECT_EQ(probe_.Run(L"short", nullptr, shortPath), 1u);
    probe_.WaitForLog("repeat short\n");
  }
  EXPECT_EQ(StopFirst(), "start\nrepeat\nrepeat D:\\Target dir \n" + cut +
                             "\n---quit\nrepeat ---quit \nrepeat ---QUIT\n" +
                             (hasShortName ? "repeat short\n" : "") + "repeat stop\nexit\n");
  EXPECT_FALSE(KernelObjectsExist(probe_));

  // A first start again, busy for 3 s after "start": both texts arrive while
  // it does not pump, and the pending one drops the next.
  StartFirst(3000);
  EXPECT_EQ(probe_.Run(L"one"), 1u);
  EXPECT_EQ(probe_.Run(L"two"), 1u);
  probe_.WaitForLog("repeat one\n");
  EXPECT_EQ(StopFirst(), "start\nrepeat one\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, AnUnansweringInstanceGivesMinus1AndOneWithoutItsNamesRunsDeaf) {
  StartFirst();
  HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, probe_.EventName().c_str());
  ASSERT_NE(event, nullptr);
  ASSERT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);  // hold the lock
  EXPECT_EQ(probe_.Run(L"held"), 0xFFFFFFFFu);
  SetEvent(event);
  CloseHandle(event);
  EXPECT_EQ(StopFirst(), "start\nrepeat stop\nexit\n");

  // Another kind of object holds the block's name: the mapping cannot be made.
  HANDLE squatter = CreateEventW(nullptr, FALSE, FALSE, probe_.BlockName().c_str());
  ASSERT_NE(squatter, nullptr);
  SetNumber(L"GUARD_PROBE_LIFETIME_MS", 1500);
  StartFirst();
  EXPECT_EQ(probe_.Run(L"stop"), 1u);  // still a second start, its text lost
  EXPECT_EQ(first_->Wait(kWaitMs), 0u);
  EXPECT_EQ(probe_.TakeLog("exit\n"), "start\nexit\n");
  CloseHandle(squatter);

  // Another user's event under the instance's name, never set: no running
  // instance, and no reason to end; the probe runs as a first start.
  PSECURITY_DESCRIPTOR foreign = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)", SDDL_REVISION_1, &foreign, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), foreign, FALSE};
  HANDLE held = CreateEventW(&attributes, FALSE, FALSE, probe_.EventName().c_str());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(probe_.Run(L""), 0u);
  EXPECT_EQ(probe_.TakeLog("exit\n"), "start\nexit\n");
  CloseHandle(held);
  LocalFree(foreign);
}

TEST_F(InstanceGuardTest, AQuitFirstStartOrAFailedInitialisationEndsAtOnce) {
  ULONGLONG elapsed = 0;
  EXPECT_EQ(probe_.Run(L"---quit", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  EXPECT_EQ(probe_.Log(), "");  // never initialised
  EXPECT_FALSE(KernelObjectsExist(probe_));
  // A failed initialisation skips the loop and ExitInstance.
  SetNumber(L"GUARD_PROBE_INIT_RESULT", 5);
  EXPECT_EQ(probe_.Run(L""), 5u);
  EXPECT_EQ(probe_.Log(), "start\n");
  EXPECT_FALSE(KernelObjectsExist(probe_));
}

TEST(InstanceGuardPathsTest, CopiesAtTwoPathsRunSideBySide) {
  Probe one, two;
  ASSERT_TRUE(one.copied && two.copied);
  std::unique_ptr<Child> a = one.Start(L""), b = two.Start(L"");
  EXPECT_EQ(one.WaitForLog("start\n"), "start\n");
  EXPECT_EQ(two.WaitForLog("start\n"), "start\n");
  EXPECT_EQ(one.Run(L"stop"), 1u);
  EXPECT_EQ(a->Wait(kWaitMs), 0u);
  EXPECT_EQ(b->Wait(0), kNotEnded);
  EXPECT_EQ(two.Run(L"stop"), 1u);
  EXPECT_EQ(b->Wait(kWaitMs), 0u);
  EXPECT_EQ(one.WaitForLog("exit\n"), "start\nrepeat stop\nexit\n");
  EXPECT_EQ(two.WaitForLog("exit\n"), "start\nrepeat stop\nexit\n");
}

}  // namespace
