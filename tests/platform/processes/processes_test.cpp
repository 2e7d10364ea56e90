#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/device.h"
#include "platform/core/windowing.h"
#include "tests/support/testdevice.h"

extern char** environ;

namespace {

constexpr const char* kDeviceVariable = "ORVEL_PEER_DEVICE";
constexpr const char* kMarkerVariable = "ORVEL_PEER_MARKER";
constexpr LRESULT kAnswer = 1234;
// WM_COPYDATA tags that ask the receiver to act rather than to keep the data.
constexpr ULONG_PTR kDestroyDoomed = 99;
constexpr ULONG_PTR kDie = 98;

// The path the second instance hands over, and an odd-sized payload with no terminating null.
const std::u16string kPath = u"\\My Documents\\Movies\\a b.swf";
const char kOdd[] = {'a', 'b', 'c'};

struct Received {
  std::vector<std::vector<char>> payloads;
  std::vector<ULONG_PTR> tags;
  std::string marker;
  static Received* current;
};
Received* Received::current = nullptr;

LRESULT receiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds->dwData == kDestroyDoomed) return DestroyWindow(FindWindowW(nullptr, u"Doomed"));
    auto* bytes = static_cast<const char*>(cds->lpData);
    Received::current->payloads.emplace_back(bytes, bytes + cds->cbData);
    Received::current->tags.push_back(cds->dwData);
    // Written before answering: the sender finds it once its call returns.
    std::ofstream(Received::current->marker, std::ios::app) << "handled\n";
    return kAnswer;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Runs this test binary again as the other process, with `test` as its only test.
pid_t spawnPeer(const std::string& test, const std::string& device, const std::string& marker) {
  std::string filter = "--gtest_filter=" + test;
  std::string deviceVar = std::string(kDeviceVariable) + "=" + device;
  std::string markerVar = std::string(kMarkerVariable) + "=" + marker;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back(deviceVar);
  env.push_back(markerVar);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char self[] = "/proc/self/exe";
  char* argv[] = {self, filter.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return -1;
  return pid;
}

// Serves the message loop until the peer exits; answers its exit code.
int serveUntilExit(pid_t pid) {
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    wm::waitForActivity(-1, 20);
    wm::dispatchPending();
  }
}

class Processes : public testing::Test {
 protected:
  void SetUp() override {
    wm::resetForTests();
    Received::current = &m_received;
    m_received.marker = m_device.outside("marker.txt").string();
    WNDCLASSW wc{};
    wc.lpfnWndProc = receiverProc;
    wc.lpszClassName = u"OrvelFlash";
    RegisterClassW(&wc);
  }
  void TearDown() override { wm::resetForTests(); }

  TestDevice m_device;
  Received m_received;
};

TEST_F(Processes, SecondInstanceFindsTheFirstAndHandsOverItsPath) {
  HWND first = CreateWindowExW(0, u"OrvelFlash", u"Orvel Flash Player", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                               nullptr, nullptr);
  HWND other =
      CreateWindowExW(0, u"OrvelFlash", u"Other", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr, nullptr);
  HWND doomed = CreateWindowExW(0, u"OrvelFlash", u"Doomed", 0, 0, 26, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(first);
  ASSERT_TRUE(doomed);
  pid_t peer = spawnPeer("Peer.SendsThePath", m_device.root().string(), m_received.marker);
  ASSERT_GT(peer, 0);
  EXPECT_EQ(serveUntilExit(peer), 0) << "the second instance's checks (its output says which)";

  ASSERT_EQ(m_received.payloads.size(), 2u);
  std::vector<char> path(reinterpret_cast<const char*>(kPath.c_str()),
                         reinterpret_cast<const char*>(kPath.c_str() + kPath.size() + 1));
  EXPECT_EQ(m_received.payloads[0], path) << "exactly the characters sent, with their null";
  EXPECT_EQ(m_received.payloads[1], std::vector<char>(kOdd, kOdd + 3)) << "an odd size arrives as sent";
  EXPECT_EQ(m_received.tags[0], 1u);
  EXPECT_EQ(GetForegroundWindow(), first) << "the second instance brought the first to the front";
  EXPECT_FALSE(IsWindow(doomed)) << "the second instance had it destroyed";
}

bool waitForFile(const std::string& path, pid_t peer) {
  for (int i = 0; i < 3000; ++i) {
    if (std::ifstream(path).good()) return true;
    int status = 0;
    if (waitpid(peer, &status, WNOHANG) == peer) return false;
    usleep(10000);
  }
  return false;
}

TEST_F(Processes, AnotherProcesssWindowIsAWindowUntilThatProcessDies) {
  pid_t peer = spawnPeer("Peer.ServesAWindowUntilToldToDie", m_device.root().string(), m_received.marker);
  ASSERT_GT(peer, 0);
  ASSERT_TRUE(waitForFile(m_received.marker, peer)) << "the peer's window is up";
  HWND ghost = FindWindowW(u"Ghost", nullptr);
  ASSERT_TRUE(ghost);
  EXPECT_TRUE(IsWindow(ghost));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(ghost) | 1)))
      << "the foreground call's flag is not a handle";
  char nothing = 0;
  COPYDATASTRUCT die{kDie, 1, &nothing};
  SendMessageW(ghost, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&die));
  int status = 0;
  ASSERT_EQ(waitpid(peer, &status, 0), peer);
  EXPECT_FALSE(IsWindow(ghost)) << "its process is gone";
  EXPECT_EQ(FindWindowW(u"Ghost", nullptr), nullptr);
}

TEST_F(Processes, ADeadProcessLeavesNoWindowToFind) {
  pid_t ghost = spawnPeer("Peer.DiesWithAWindow", m_device.root().string(), m_received.marker);
  ASSERT_GT(ghost, 0);
  EXPECT_EQ(serveUntilExit(ghost), 0);
  EXPECT_EQ(FindWindowW(nullptr, u"Ghost"), nullptr);
  EXPECT_EQ(FindWindowW(u"Ghost", nullptr), nullptr);
}

// ---- The other process's side (skipped unless started by the tests above) --------------
class Peer : public testing::Test {
 protected:
  void SetUp() override {
    const char* device = std::getenv(kDeviceVariable);
    if (!device) GTEST_SKIP() << "run as the other process only";
    std::string error;
    auto opened = Device::open(device, error);
    ASSERT_TRUE(opened) << error;
    exchangeCurrentDevice(std::move(opened));
    m_marker = std::getenv(kMarkerVariable);
  }
  std::string m_marker;
};

TEST_F(Peer, SendsThePath) {
  if (HasFatalFailure()) return;
  HWND first = FindWindowW(u"OrvelFlash", u"Orvel Flash Player");
  ASSERT_TRUE(first) << "the first instance's window is found in the other process";
  EXPECT_NE(FindWindowW(u"OrvelFlash", nullptr), first) << "by class alone the topmost of the two";
  EXPECT_EQ(FindWindowW(nullptr, u"Orvel Flash Player"), first);
  EXPECT_EQ(FindWindowW(u"NoSuchClass", nullptr), nullptr);
  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(first) | 1)));

  std::u16string path = kPath;
  COPYDATASTRUCT cds{1, static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)), path.data()};
  EXPECT_FALSE(std::ifstream(m_marker).good());
  EXPECT_EQ(SendMessageW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), kAnswer);
  EXPECT_TRUE(std::ifstream(m_marker).good()) << "SendMessageW returned only after the receiver handled it";

  char odd[3] = {kOdd[0], kOdd[1], kOdd[2]};
  COPYDATASTRUCT oddData{2, 3, odd};
  EXPECT_EQ(SendMessageW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&oddData)), kAnswer);

  COPYDATASTRUCT huge{3, 0x7FFFFFFF, odd};
  EXPECT_EQ(SendMessageW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&huge)), 0)
      << "a size past the limit is refused before anything is read";
  EXPECT_EQ(SendMessageW(first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")), 0) << "pointers cannot travel";

  // IsWindow asks the window's own process.
  HWND doomed = FindWindowW(nullptr, u"Doomed");
  ASSERT_TRUE(doomed);
  EXPECT_TRUE(IsWindow(first));
  EXPECT_TRUE(IsWindow(doomed));
  COPYDATASTRUCT destroy{kDestroyDoomed, 1, odd};
  EXPECT_TRUE(SendMessageW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&destroy)));
  EXPECT_FALSE(IsWindow(doomed)) << "destroyed in its process";
  EXPECT_TRUE(IsWindow(first));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(doomed) + 0x100)))
      << "a handle never handed out";
}

LRESULT plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT ghostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData == kDie) _exit(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(Peer, ServesAWindowUntilToldToDie) {
  if (HasFatalFailure()) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ghostProc;
  wc.lpszClassName = u"Ghost";
  RegisterClassW(&wc);
  ASSERT_TRUE(CreateWindowExW(0, u"Ghost", u"Ghost", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  std::ofstream(m_marker) << "up\n";
  // Bounded, so that a first process that fails early leaves no process behind.
  for (int i = 0; i < 3000; ++i) {
    wm::waitForActivity(-1, 20);
    wm::dispatchPending();
  }
  FAIL() << "never told to die";
}

TEST_F(Peer, DiesWithAWindow) {
  if (HasFatalFailure()) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = plainProc;
  wc.lpszClassName = u"Ghost";
  RegisterClassW(&wc);
  ASSERT_TRUE(CreateWindowExW(0, u"Ghost", u"Ghost", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  std::fflush(nullptr);
  // Gone without any clean-up, as a crash would leave it.
  _exit(0);
}

}  // namespace
