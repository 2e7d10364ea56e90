// Critical sections, version, the program's path, wave volume, idle timer.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "platform/core/mmsystem.h"
#include "platform/core/winbase.h"
#include "tests/support/testdevice.h"

namespace {

// Runs `body` in a child process that opens the device itself; its exit code.
template <class F>
int inChildProcess(const std::filesystem::path& folder, F body) {
  pid_t pid = fork();
  if (pid == 0) {
    std::string error;
    auto own = Device::open(folder, error);
    if (!own) _exit(100);
    exchangeCurrentDevice(std::move(own)).release();
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CriticalSections, AreRecursiveAndExclusive) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));  // the owner may enter again
  LeaveCriticalSection(&section);
  bool otherGotIn = true;
  std::thread([&] { otherGotIn = TryEnterCriticalSection(&section); }).join();
  EXPECT_FALSE(otherGotIn);
  LeaveCriticalSection(&section);

  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        EnterCriticalSection(&section);
        long seen = counter;
        counter = seen + 1;
        LeaveCriticalSection(&section);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&section);
}

TEST(Version, IsTheDevicesOwn) {
  {
    TestDevice device;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 20u);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE);
    info.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExW(&info));
  }
  DeviceConfig older;
  ASSERT_TRUE(parseOsVersion("3.0.126", older));
  TestDevice device(older);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwMajorVersion, 3u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  EXPECT_EQ(info.dwBuildNumber, 126u);
}

TEST(ModuleFileName, AnswersTheProgramsDevicePath) {
  WCHAR path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\test_platform_core");

  setModuleFileName(nullptr, u"\\Program Files\\OrvelFlash\\OrvelFlash.exe");
  EXPECT_EQ(GetModuleFileNameW(nullptr, path, MAX_PATH), 40u);
  EXPECT_EQ(std::u16string(path), u"\\Program Files\\OrvelFlash\\OrvelFlash.exe");
  WCHAR small[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 8), 8u);  // cut to fit, as the device does
  EXPECT_EQ(std::u16string(small), u"\\Progra");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x4242), path, MAX_PATH), 0u);
  setModuleFileName(nullptr, nullptr);
}

TEST(WaveVolume, IsKeptByTheDevice) {
  TestDevice device;
  DWORD volume = 0;
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0xFFFFFFFFu);
  ASSERT_EQ(waveOutSetVolume(nullptr, 0x80004000), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0x80004000u);
  EXPECT_EQ(waveOutGetVolume(reinterpret_cast<HWAVEOUT>(1), &volume), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutGetVolume(nullptr, nullptr), MMSYSERR_INVALPARAM);

  int code = inChildProcess(device.root(), [] {
    DWORD seen = 0;
    waveOutGetVolume(nullptr, &seen);
    if (seen != 0x80004000u) return 1;
    return waveOutSetVolume(nullptr, 0x1000) == MMSYSERR_NOERROR ? 0 : 2;
  });
  EXPECT_EQ(code, 0);
  ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0x1000u);
}

TEST(IdleTimer, ResetsAreCountedAcrossProcesses) {
  TestDevice device;
  EXPECT_EQ(device.device().idleTimerResets(), 0u);
  SystemIdleTimerReset();
  SystemIdleTimerReset();
  EXPECT_EQ(inChildProcess(device.root(),
                           [] {
                             SystemIdleTimerReset();
                             return 0;
                           }),
            0);
  EXPECT_EQ(device.device().idleTimerResets(), 3u);
}
