// Windows of other processes of the same device. Each process that has a
// top-level window listens on a Unix socket named after its process id in a
// folder of the device's own; FindWindowW asks every live listener, and
// SendMessageW with WM_COPYDATA or SetForegroundWindow on the answered handle
// travel over a connection that blocks until the receiver has handled them;
// IsWindow on such a handle asks its process whether the window still exists.
// A listener that refuses connections belongs to a process that died: its
// socket is removed on the spot.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/device.h"
#include "platform/core/windowimpl.h"
#include "platform/core/windowing.h"

namespace fs = std::filesystem;

namespace {

enum class Request : std::uint32_t { Find = 1, CopyData = 2, Foreground = 3, Alive = 4 };

struct Header {
  std::uint32_t request;
  std::uint32_t flags;  // Find: 1 class given, 2 title given; Foreground: 1 with owned windows
  std::uint64_t target;
  std::uint64_t wParam;
  std::uint64_t dwData;
  std::uint64_t length;
};

// More than any path or command line; a bigger payload is refused by the sender
// and never allocated by the receiver.
constexpr std::uint64_t kMaxPayload = 16u << 20;
// A receiver that takes longer than this to answer is treated as gone.
constexpr int kReplyTimeoutMs = 30000;

struct Remote {
  std::string socket;
  std::uint64_t hwnd;
};

struct ProcessState {
  std::mutex lock;
  wm::PeerRequests served;
  std::vector<Remote> remotes;
  int listener = -1;
  std::string socketPath;
  std::string folder;
  bool keepFolder = false;  // the device's own folder of listeners
};
ProcessState& process() {
  static ProcessState s;
  return s;
}

constexpr ULONG_PTR kRemoteTag = 0x5EC0000000000000ull;
constexpr ULONG_PTR kRemoteMask = 0xFFF0000000000000ull;

HWND remoteHandle(const Remote& r) {
  ProcessState& p = process();
  std::lock_guard guard(p.lock);
  for (size_t i = 0; i < p.remotes.size(); ++i)
    if (p.remotes[i].socket == r.socket && p.remotes[i].hwnd == r.hwnd)
      return reinterpret_cast<HWND>(kRemoteTag | ((i + 1) << 4));
  p.remotes.push_back(r);
  return reinterpret_cast<HWND>(kRemoteTag | (p.remotes.size() << 4));
}

bool remoteOf(HWND hwnd, Remote& out) {
  auto value = reinterpret_cast<ULONG_PTR>(hwnd) & ~static_cast<ULONG_PTR>(1);
  if ((value & kRemoteMask) != kRemoteTag) return false;
  size_t index = (value & ~kRemoteMask) >> 4;
  ProcessState& p = process();
  std::lock_guard guard(p.lock);
  if (index == 0 || index > p.remotes.size()) return false;
  out = p.remotes[index - 1];
  return true;
}

// The folder of the device's listeners: under the runtime folder when there
// is one, else in the device's state folder (with a short fallback when that
// path is too long for a socket name).
fs::path deviceListenerFolder(const Device& device) { return device.stateFolder() / "run"; }

// The device's own folder of listeners stays when its last listener goes:
// making it again would cost every start a new inode on the device's disk.
// One under the runtime or temporary folder goes with its last listener.
bool keptFolder(const std::string& folder) {
  Device* device = openedDevice();
  return device && fs::path(folder) == deviceListenerFolder(*device);
}

std::string listenerFolder() {
  // Windows alone never open a device: a process without one has no peers.
  Device* device = openedDevice();
  if (!device) return {};
  std::string root = device->root().string();
  char hash[32];
  std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(root));
  fs::path folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    folder = fs::path(runtime) / "orvel" / hash;
  } else {
    folder = deviceListenerFolder(*device);
    if (folder.string().size() > 80) folder = fs::temp_directory_path() / ("orvel-" + std::to_string(getuid())) / hash;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder.string();
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

bool writeAll(int fd, const void* data, size_t size) {
  auto* bytes = static_cast<const char*>(data);
  while (size) {
    ssize_t n = send(fd, bytes, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, void* data, size_t size, int timeoutMs) {
  auto* bytes = static_cast<char*>(data);
  while (size) {
    pollfd pfd{fd, POLLIN, 0};
    int ready = poll(&pfd, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t n = recv(fd, bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// One request to one listener; false when it is not there (a dead process's
// socket is removed).
bool ask(const std::string& socketPath, const Header& header, const void* payload, std::int64_t& reply) {
  sockaddr_un address;
  if (!fillAddress(socketPath, address)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ECONNREFUSED || errno == ENOENT) {
      ::unlink(socketPath.c_str());
      const std::string folder = fs::path(socketPath).parent_path().string();
      if (!keptFolder(folder)) ::rmdir(folder.c_str());  // only when that was the last one
    }
    close(fd);
    return false;
  }
  bool ok = writeAll(fd, &header, sizeof header) && (header.length == 0 || writeAll(fd, payload, header.length)) &&
            readAll(fd, &reply, sizeof reply, kReplyTimeoutMs);
  close(fd);
  return ok;
}

std::u16string takeString(const char16_t*& at, const char16_t* end) {
  std::u16string s;
  while (at < end && *at) s.push_back(*at++);
  if (at < end) ++at;
  return s;
}

// The receiving side: one connection, one request, one reply.
void serve(int listener) {
  int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  Header header{};
  std::int64_t reply = 0;
  std::vector<char> payload;
  bool ok = readAll(fd, &header, sizeof header, 5000) && header.length <= kMaxPayload;
  if (ok) {
    payload.resize(static_cast<size_t>(header.length));
    ok = payload.empty() || readAll(fd, payload.data(), payload.size(), 5000);
  }
  if (!ok) {
    close(fd);
    return;
  }
  HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(header.target));
  switch (static_cast<Request>(header.request)) {
    case Request::Find: {
      std::vector<char16_t> text(payload.size() / 2 + 1, 0);
      std::memcpy(text.data(), payload.data(), payload.size() / 2 * 2);
      const char16_t* at = text.data();
      const char16_t* end = text.data() + payload.size() / 2;
      std::u16string cls = takeString(at, end), title = takeString(at, end);
      HWND found = wm::detail::findLocalWindow((header.flags & 1) ? cls.c_str() : nullptr,
                                               (header.flags & 2) ? title.c_str() : nullptr);
      reply = static_cast<std::int64_t>(reinterpret_cast<ULONG_PTR>(found));
      break;
    }
    case Request::CopyData: {
      if (!IsWindow(target)) break;
      // The receiver gets exactly the bytes sent, in a buffer of exactly that size.
      COPYDATASTRUCT cds{static_cast<ULONG_PTR>(header.dwData), static_cast<DWORD>(payload.size()),
                         payload.empty() ? nullptr : payload.data()};
      reply = static_cast<std::int64_t>(
          SendMessageW(target, WM_COPYDATA, static_cast<WPARAM>(header.wParam), reinterpret_cast<LPARAM>(&cds)));
      ++process().served.copyData;
      break;
    }
    case Request::Alive:
      // Only top-level windows are ever handed to other processes.
      reply = IsWindow(target) && !(GetWindowLongW(target, GWL_STYLE) & WS_CHILD) ? 1 : 0;
      break;
    case Request::Foreground: {
      if (!IsWindow(target)) break;
      ULONG_PTR value = reinterpret_cast<ULONG_PTR>(target) | ((header.flags & 1) ? 1 : 0);
      reply = SetForegroundWindow(reinterpret_cast<HWND>(value));
      ++process().served.foreground;
      break;
    }
  }
  writeAll(fd, &reply, sizeof reply);
  close(fd);
}

void removeOwnSocket() {
  ProcessState& p = process();
  if (!p.socketPath.empty()) ::unlink(p.socketPath.c_str());
  if (!p.folder.empty() && !p.keepFolder) ::rmdir(p.folder.c_str());  // only when that was the last one
}

}  // namespace

namespace wm {

PeerRequests peerRequestsServed() { return process().served; }

}  // namespace wm

namespace wm::detail {

void publishProcess() {
  ProcessState& p = process();
  std::string folder = listenerFolder();
  if (folder.empty() || (p.listener >= 0 && folder == p.folder)) return;
  if (p.listener >= 0) {
    // The current device changed: listen on the new one's folder only.
    wm::removeLoopDescriptor(p.listener);
    close(p.listener);
    p.listener = -1;
    removeOwnSocket();
  }
  std::string path = (fs::path(folder) / std::to_string(getpid())).string();
  sockaddr_un address;
  if (!fillAddress(path, address)) return;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  // A socket of that name is left by an earlier process with the same id.
  ::unlink(path.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
    close(fd);
    return;
  }
  p.listener = fd;
  p.socketPath = path;
  p.folder = folder;
  p.keepFolder = keptFolder(folder);
  static bool once = (std::atexit(removeOwnSocket), true);
  (void)once;
  wm::addLoopDescriptor(fd, [fd] { serve(fd); });
}

HWND findRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
  std::string folder = listenerFolder();
  if (folder.empty()) return nullptr;
  std::u16string payload;
  Header header{static_cast<std::uint32_t>(Request::Find), 0, 0, 0, 0, 0};
  if (className && !IS_INTRESOURCE(className)) {
    header.flags |= 1;
    payload += className;
  }
  payload.push_back(0);
  if (windowName) {
    header.flags |= 2;
    payload += windowName;
  }
  payload.push_back(0);
  header.length = payload.size() * sizeof(char16_t);
  std::string own = process().socketPath;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::string path = entry.path().string();
    if (path == own) continue;
    std::int64_t reply = 0;
    if (ask(path, header, payload.data(), reply) && reply)
      return remoteHandle(Remote{path, static_cast<std::uint64_t>(reply)});
  }
  return nullptr;
}

bool isRemoteWindow(HWND hwnd) {
  Remote r;
  return remoteOf(hwnd, r);
}

bool remoteWindowAlive(HWND hwnd) {
  Remote r;
  if (!remoteOf(hwnd, r)) return false;
  Header header{static_cast<std::uint32_t>(Request::Alive), 0, r.hwnd, 0, 0, 0};
  std::int64_t reply = 0;
  // A process that died refuses the connection: its windows are gone with it.
  return ask(r.socket, header, nullptr, reply) && reply == 1;
}

bool sendRemote(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  Remote r;
  if (!remoteOf(hwnd, r)) return false;
  result = 0;
  if (message != WM_COPYDATA) {
    // Only WM_COPYDATA says how large its data is; nothing else can travel.
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
  }
  auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (!cds || (cds->cbData && !cds->lpData) || cds->cbData > kMaxPayload) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
  }
  Header header{static_cast<std::uint32_t>(Request::CopyData), 0,          r.hwnd, static_cast<std::uint64_t>(wParam),
                static_cast<std::uint64_t>(cds->dwData),       cds->cbData};
  std::int64_t reply = 0;
  if (!ask(r.socket, header, cds->lpData, reply)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return true;
  }
  result = static_cast<LRESULT>(reply);
  return true;
}

bool foregroundRemote(HWND hwnd, BOOL& result) {
  Remote r;
  if (!remoteOf(hwnd, r)) return false;
  bool withOwned = reinterpret_cast<ULONG_PTR>(hwnd) & 1;
  Header header{static_cast<std::uint32_t>(Request::Foreground), withOwned ? 1u : 0u, r.hwnd, 0, 0, 0};
  std::int64_t reply = 0;
  result = ask(r.socket, header, nullptr, reply) && reply ? TRUE : FALSE;
  return true;
}

}  // namespace wm::detail
