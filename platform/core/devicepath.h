#pragma once
// Device path -> host path, for the file calls inside platform/core.
//
// A device path uses "\" (or "/"), starts at "\" (a path without it starts
// there too: the device has no current folder), and names are matched
// ignoring case while the host keeps the case they were made with. ".." is
// resolved by name and may not climb above "\". A host symlink is followed
// only when its target stays inside the device (or the inserted card); the
// state folder at the root is never reachable. Anything else answers
// ERROR_ACCESS_DENIED before the host file system is touched for writing.

#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/wintypes.h"

class Device;

struct ResolvedPath {
  enum class Kind { Entry, Root, StorageCard };
  std::string host;  // host path (UTF-8), of the entry or of the entry to make
  Kind kind = Kind::Entry;
  bool exists = false;  // the last name exists on the host
  bool isDirectory = false;
  std::u16string name;  // the last name as stored, or as asked when it does not exist
};

// Resolves every name of `path`. Answers 0 also when only the last name is
// missing (then `exists` is false and `host` is where it would be made);
// ERROR_PATH_NOT_FOUND when a folder on the way is missing or is a file.
DWORD resolveDevicePath(const Device& device, std::u16string_view path, ResolvedPath& out);

// A host file descriptor with one owner, closed when the owner goes.
class HostDescriptor {
 public:
  HostDescriptor() = default;
  explicit HostDescriptor(int fd) : m_fd(fd) {}
  ~HostDescriptor() { reset(); }
  HostDescriptor(HostDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  HostDescriptor& operator=(HostDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
  }
  HostDescriptor(const HostDescriptor&) = delete;
  HostDescriptor& operator=(const HostDescriptor&) = delete;

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  // Hands the descriptor to a new owner (a FILE, say).
  int release() { return std::exchange(m_fd, -1); }
  void reset() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd = -1;
};

// The first bytes of a file opened for reading, read as it is opened.
struct FileStart {
  static constexpr size_t kCapacity = 512;
  unsigned char bytes[kCapacity];
  size_t size = 0;  // fewer than kCapacity only when the file was shorter
};

// As resolveDevicePath, and when `path` names an existing folder, opens it
// for reading its entries: `opened` holds the descriptor on success, and
// stays empty whenever the entry is missing or not a folder.
DWORD openDeviceFolder(const Device& device, std::u16string_view path, ResolvedPath& out, HostDescriptor& opened);

// As resolveDevicePath, and when `path` names an existing file that can be
// read without waiting, opens it and reads its first bytes into `start`.
// That read, at offset 0, fails on a folder, a pipe or a terminal, so it is
// also the check of the entry's kind: `opened` stays empty for those, as for
// a missing entry. The usual case costs the lookup-and-open and that read.
DWORD openDeviceFile(const Device& device, std::u16string_view path, ResolvedPath& out, HostDescriptor& opened,
                     FileStart& start);

// Splits `path` into its folder (every name but the last) and the last name,
// leaving both unresolved; `last` is empty for "\" or a path ending in "\".
void splitLastName(std::u16string_view path, std::u16string_view& folder, std::u16string_view& last);

// Characters a device file name can never hold (wildcards included).
bool isValidDeviceName(std::u16string_view name);

// The device's wildcard match ('*' any run, '?' one character), ignoring
// case; "*.*" matches every name, and a pattern ending in ".*" also matches
// the names without an extension, as on the device.
bool matchesDevicePattern(std::u16string_view pattern, std::u16string_view name);
