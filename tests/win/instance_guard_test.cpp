// The single-instance guard between real processes: copies of guard_probe
// (GUARD_PROBE_EXE) at fresh paths, started as first and second instances.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/single_instance.h"
#include "child_process.h"

namespace {

constexpr DWORD kExitMinus1 = 0xFFFFFFFF;
constexpr DWORD kWaitMs = 30000;

std::wstring LongTempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  wchar_t longForm[MAX_PATH + 1];
  DWORD longLength = GetLongPathNameW(buffer, longForm, MAX_PATH + 1);
  if (longLength != 0 && longLength <= MAX_PATH) return longForm;
  return std::wstring(buffer, length);
}

// A copy of the probe at a path of its own, with its own log file; both are
// removed at the end of the test.
class ProbeCopy {
 public:
  ProbeCopy() {
    static int count = 0;
    std::wstring base = LongTempDirectory() + L"guard_probe_" +
                        std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++count);
    program_ = base + L".exe";
    log_ = base + L".log";
    copied_ = CopyFileW(GUARD_PROBE_EXE, program_.c_str(), FALSE) != 0;
  }
  ~ProbeCopy() {
    DeleteFileW(program_.c_str());
    DeleteFileW(log_.c_str());
  }
  ProbeCopy(const ProbeCopy&) = delete;
  ProbeCopy& operator=(const ProbeCopy&) = delete;

  bool copied() const { return copied_; }
  const std::wstring& program() const { return program_; }

  // Started with this copy's log in its environment.
  ChildProcess* Start(const std::wstring& arguments, DWORD busyMs = 0) {
    SetEnvironmentVariableW(L"GUARD_PROBE_LOG", log_.c_str());
    SetNumber(L"GUARD_PROBE_DELAY_MS", busyMs);
    return new ChildProcess(program_, arguments);
  }
  // A setting of the probe for every later start; 0 removes it.
  static void SetNumber(const wchar_t* name, DWORD value) {
    SetEnvironmentVariableW(name, value != 0 ? std::to_wstring(value).c_str() : nullptr);
  }
  // A start that is expected to end by itself: its exit code and duration.
  DWORD Run(const std::wstring& arguments, ULONGLONG* elapsedMs = nullptr) {
    return RunAs(program_, arguments, elapsedMs);
  }
  // The same, through another spelling of the copy's path.
  DWORD RunAs(const std::wstring& program, const std::wstring& arguments,
              ULONGLONG* elapsedMs = nullptr) {
    SetEnvironmentVariableW(L"GUARD_PROBE_LOG", log_.c_str());
    ULONGLONG begin = GetTickCount64();
    ChildProcess process(program, arguments);
    DWORD code = process.Wait(kWaitMs);
    if (elapsedMs != nullptr) *elapsedMs = GetTickCount64() - begin;
    return code;
  }

  std::string Log() const {
    std::ifstream in(log_.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Waits until the log ends with `tail`; returns the log either way.
  std::string WaitForLog(const std::string& tail) const {
    std::string log;
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < kWaitMs; Sleep(20)) {
      log = Log();
      if (log.size() >= tail.size() &&
          log.compare(log.size() - tail.size(), tail.size(), tail) == 0)
        break;
    }
    return log;
  }

  // The names the running instance published, as the guard derives them.
  std::wstring EventName() const {
    std::u16string name = InstanceName(reinterpret_cast<const char16_t*>(program_.c_str()));
    return std::wstring(name.begin(), name.end());
  }
  std::wstring BlockName() const { return EventName() + L"_MEM"; }

 private:
  std::wstring program_;
  std::wstring log_;
  bool copied_ = false;
};

bool KernelObjectsExist(const ProbeCopy& probe) {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, probe.EventName().c_str());
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, probe.BlockName().c_str());
  bool both = event != nullptr && mapping != nullptr;
  bool any = event != nullptr || mapping != nullptr;
  if (event != nullptr) CloseHandle(event);
  if (mapping != nullptr) CloseHandle(mapping);
  EXPECT_EQ(both, any) << "event and block exist only together";
  return any;
}

class InstanceGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(probe_.copied()); }

  // Starts the first instance and waits until it runs its loop.
  void StartFirst(DWORD busyMs = 0) {
    std::string before = probe_.Log();
    first_.reset(probe_.Start(L"", busyMs));
    ASSERT_TRUE(first_->started());
    ASSERT_EQ(probe_.WaitForLog("start\n"), before + "start\n");
  }
  // Ends the first instance through the channel; returns its log.
  std::string StopFirst() {
    EXPECT_EQ(probe_.Run(L"stop"), 1u);
    EXPECT_EQ(first_->Wait(kWaitMs), 0u);
    return probe_.WaitForLog("exit\n");
  }

  void TearDown() override {
    ProbeCopy::SetNumber(L"GUARD_PROBE_LIFETIME_MS", 0);
    ProbeCopy::SetNumber(L"GUARD_PROBE_INIT_RESULT", 0);
  }

  ProbeCopy probe_;
  std::unique_ptr<ChildProcess> first_;
};

TEST_F(InstanceGuardTest, SecondStartsForwardTheirCommandLineAndExit1) {
  StartFirst();
  EXPECT_TRUE(KernelObjectsExist(probe_));
  EXPECT_EQ(probe_.Run(L""), 1u);
  probe_.WaitForLog("repeat\n");
  EXPECT_EQ(probe_.Run(L"D:\\Target dir "), 1u);
  probe_.WaitForLog("repeat D:\\Target dir \n");
  // A text longer than the block holds arrives cut, whole characters only.
  std::wstring longLine = std::wstring(104, L'a') + L"\u20ac\u20ac";
  EXPECT_EQ(probe_.Run(longLine), 1u);
  std::string cut = "repeat " + std::string(104, 'a') + "\xE2\x82\xAC";  // 114 bytes
  probe_.WaitForLog(cut + "\n");
  EXPECT_EQ(StopFirst(), "start\nrepeat\nrepeat D:\\Target dir \n" + cut + "\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, AShortPathFindsTheSameInstance) {
  wchar_t shortPath[MAX_PATH];
  DWORD length = GetShortPathNameW(probe_.program().c_str(), shortPath, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  if (probe_.program() == shortPath) GTEST_SKIP() << "no 8.3 name here";
  StartFirst();
  EXPECT_EQ(probe_.RunAs(shortPath, L"short"), 1u);
  probe_.WaitForLog("repeat short\n");
  EXPECT_EQ(StopFirst(), "start\nrepeat short\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, OnlyTheExactQuitWordIsAQuitRequest) {
  StartFirst();
  ULONGLONG elapsed = 0;
  EXPECT_EQ(probe_.Run(L"---quit", &elapsed), 1u);
  EXPECT_GE(elapsed, 1900u);
  probe_.WaitForLog("---quit\n");
  // The running instance decides what a quit request means; the probe goes on.
  EXPECT_EQ(first_->Wait(0), kChildNotEnded);

  EXPECT_EQ(probe_.Run(L"---quit ", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  probe_.WaitForLog("repeat ---quit \n");
  EXPECT_EQ(probe_.Run(L"---QUIT", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  probe_.WaitForLog("repeat ---QUIT\n");
  EXPECT_EQ(StopFirst(), "start\n---quit\nrepeat ---quit \nrepeat ---QUIT\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, FirstStartWithQuitEndsAtOnce) {
  ULONGLONG elapsed = 0;
  EXPECT_EQ(probe_.Run(L"---quit", &elapsed), 1u);
  EXPECT_LT(elapsed, 1500u);
  EXPECT_EQ(probe_.Log(), "");  // never initialised
  EXPECT_FALSE(KernelObjectsExist(probe_));
}

TEST_F(InstanceGuardTest, APendingTextDropsTheNextOne) {
  // Busy for 3 s after "start": both texts arrive while it does not pump.
  StartFirst(3000);
  EXPECT_EQ(probe_.Run(L"one"), 1u);
  EXPECT_EQ(probe_.Run(L"two"), 1u);
  probe_.WaitForLog("repeat one\n");
  EXPECT_EQ(StopFirst(), "start\nrepeat one\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, AnUnansweringInstanceEndsTheSecondStartWithMinus1) {
  StartFirst();
  HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, probe_.EventName().c_str());
  ASSERT_NE(event, nullptr);
  ASSERT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);  // hold the lock
  EXPECT_EQ(probe_.Run(L"held"), kExitMinus1);
  SetEvent(event);
  CloseHandle(event);
  EXPECT_EQ(StopFirst(), "start\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, AClosedInstanceLeavesNothingBehind) {
  StartFirst();
  EXPECT_EQ(StopFirst(), "start\nrepeat stop\nexit\n");
  EXPECT_FALSE(KernelObjectsExist(probe_));
  StartFirst();  // a first start again, not a forwarded text
  EXPECT_EQ(StopFirst(), "start\nrepeat stop\nexit\nstart\nrepeat stop\nexit\n");
}

TEST_F(InstanceGuardTest, WithoutItsBlockTheFirstInstanceRunsDeaf) {
  // Another kind of object holds the block's name: the mapping cannot be made.
  HANDLE squatter = CreateEventW(nullptr, FALSE, FALSE, probe_.BlockName().c_str());
  ASSERT_NE(squatter, nullptr);
  ProbeCopy::SetNumber(L"GUARD_PROBE_LIFETIME_MS", 1500);
  StartFirst();
  EXPECT_EQ(probe_.Run(L"stop"), 1u);  // still a second start, its text lost
  EXPECT_EQ(first_->Wait(kWaitMs), 0u);
  EXPECT_EQ(probe_.WaitForLog("exit\n"), "start\nexit\n");
  CloseHandle(squatter);
}

TEST_F(InstanceGuardTest, AFailedInitialisationSkipsLoopAndExit) {
  ProbeCopy::SetNumber(L"GUARD_PROBE_INIT_RESULT", 5);
  EXPECT_EQ(probe_.Run(L""), 5u);
  EXPECT_EQ(probe_.Log(), "start\n");
  EXPECT_FALSE(KernelObjectsExist(probe_));
}

TEST(InstanceGuardPathsTest, CopiesAtTwoPathsRunSideBySide) {
  ProbeCopy one;
  ProbeCopy two;
  ASSERT_TRUE(one.copied() && two.copied());
  std::unique_ptr<ChildProcess> a(one.Start(L""));
  std::unique_ptr<ChildProcess> b(two.Start(L""));
  EXPECT_EQ(one.WaitForLog("start\n"), "start\n");
  EXPECT_EQ(two.WaitForLog("start\n"), "start\n");
  EXPECT_EQ(one.Run(L"stop"), 1u);
  EXPECT_EQ(a->Wait(kWaitMs), 0u);
  EXPECT_EQ(b->Wait(0), kChildNotEnded);
  EXPECT_EQ(two.Run(L"stop"), 1u);
  EXPECT_EQ(b->Wait(kWaitMs), 0u);
  EXPECT_EQ(one.WaitForLog("exit\n"), "start\nrepeat stop\nexit\n");
  EXPECT_EQ(two.WaitForLog("exit\n"), "start\nrepeat stop\nexit\n");
}

}  // namespace
