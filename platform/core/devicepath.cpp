#include "platform/core/devicepath.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

#include "platform/core/device.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"

namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool equalsFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && towupperW(a[i]) != towupperW(b[i])) return false;
  return true;
}

// Splits into names, resolving "." and ".." by name. False when ".." would
// climb above the root.
bool splitNames(std::u16string_view path, std::vector<std::u16string_view>& names) {
  names.reserve(8);  // deeper than most device paths go
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = pos;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    std::u16string_view name = path.substr(pos, end - pos);
    if (name == u"..") {
      if (names.empty()) return false;
      names.pop_back();
    } else if (!name.empty() && name != u".") {
      names.push_back(name);
    }
    pos = end + 1;
  }
  return true;
}

bool isInside(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
}

// A symlink is followed only when it lands inside the device or its card.
bool symlinkStaysInside(const Device& device, const std::string& host) {
  char real[PATH_MAX];
  if (!realpath(host.c_str(), real)) return false;  // dangling: a write would land anywhere
  std::string target(real);
  return isInside(target, device.root().string()) || isInside(target, device.storageCard().string());
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

// Finds `name` in the host folder ignoring case; the exact spelling is tried
// first because it is by far the most common.
bool findHostName(const std::string& folder, std::u16string_view name, std::string& hostName, struct stat& info) {
  std::string exact = toUtf8(name);
  if (lstat((folder + '/' + exact).c_str(), &info) == 0) {
    hostName = std::move(exact);
    return true;
  }
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return false;
  while (dirent* entry = readdir(dir.get())) {
    std::string_view candidate(entry->d_name);
    if (candidate == "." || candidate == ".." || !isValidUtf8(candidate)) continue;
    if (!equalsFolded(fromUtf8(candidate), name)) continue;
    if (lstat((folder + '/' + entry->d_name).c_str(), &info) != 0) continue;
    hostName = entry->d_name;
    return true;
  }
  return false;
}

enum class OpenFor {
  Listing,  // an existing folder, for reading its entries
  Reading,  // an existing file, for reading from its start
};

// What a lookup opens besides resolving, and where it puts it.
struct Opening {
  OpenFor purpose;
  HostDescriptor& opened;
  FileStart* start;  // for Reading
};

// The flags that open an entry for `opening`; O_PATH only looks it up.
// Reading never waits on a pipe or takes a terminal.
int openFlagsFor(const Opening* opening) {
  if (!opening) return O_PATH | O_CLOEXEC;
  return opening->purpose == OpenFor::Listing ? O_RDONLY | O_DIRECTORY | O_CLOEXEC
                                              : O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
}

// The first read of a file opened for reading. A read at an offset fails on
// a folder (EISDIR) and on a pipe, socket or terminal (ESPIPE): only what
// can be read like a file answers.
bool readStart(int fd, FileStart& start) {
  ssize_t got;
  do {
    got = ::pread(fd, start.bytes, sizeof start.bytes, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return false;
  start.size = static_cast<size_t>(got);
  return true;
}

// Keeps `entry` in the opening when it is of the kind asked for: a folder
// for Listing as `isFolder` says; for Reading the first read decides, and a
// folder shows as one in `out`.
void handOver(HostDescriptor& entry, bool isFolder, const Opening* opening, ResolvedPath& out) {
  if (!opening || !entry.valid()) return;
  if (opening->purpose == OpenFor::Listing) {
    if (isFolder) opening->opened = std::move(entry);
    return;
  }
  if (readStart(entry.get(), *opening->start)) {
    opening->opened = std::move(entry);
    return;
  }
  if (errno == EISDIR) out.isDirectory = true;
}

// The common case in one system call: every name spelled as on the host, no
// symlink on the way. The kernel checks that the walk stays beneath the
// device's root; anything else (another case, a symlink, a missing name, an
// entry of another kind than asked for) answers false and the name-by-name
// walk decides.
bool resolveExactly(const Device& device, const std::vector<std::u16string_view>& names, const Opening* opening,
                    ResolvedPath& out) {
  if (device.rootDescriptor() < 0) return false;
  // The host path is built whole; the kernel is given the part below the root.
  const std::string& root = device.root().native();
  std::string host;
  host.reserve(root.size() + 128);
  host = root;
  for (auto name : names) {
    host += '/';
    appendUtf8(host, name);
  }
  open_how how{};
  how.flags = static_cast<uint64_t>(openFlagsFor(opening));
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const char* relative = host.c_str() + root.size() + 1;
  HostDescriptor entry(static_cast<int>(syscall(SYS_openat2, device.rootDescriptor(), relative, &how, sizeof how)));
  if (!entry.valid()) return false;
  // A folder opened for listing is known to be one, and a file opened for
  // reading shows its kind by its first read: only a bare lookup asks.
  bool isDirectory = opening && opening->purpose == OpenFor::Listing;
  if (!opening) {
    struct stat info;
    if (fstat(entry.get(), &info) != 0) return false;
    isDirectory = S_ISDIR(info.st_mode);
  }
  out = ResolvedPath{};
  out.host = std::move(host);
  out.kind = ResolvedPath::Kind::Entry;
  out.exists = true;
  out.isDirectory = isDirectory;
  out.name = names.back();
  handOver(entry, isDirectory, opening, out);
  return true;
}

// Whether the first name is "\Storage Card" while a card is inserted; the
// card's record is looked at only for that name.
bool namesStorageCard(const Device& device, std::u16string_view first) {
  return equalsFolded(first, Device::kStorageCardName) && !device.storageCard().empty();
}

DWORD resolve(const Device& device, std::u16string_view path, const Opening* opening, ResolvedPath& out) {
  std::vector<std::u16string_view> names;
  if (!splitNames(path, names)) return ERROR_ACCESS_DENIED;
  for (auto name : names)
    if (!isValidDeviceName(name)) return ERROR_INVALID_NAME;

  bool special = !names.empty() && (equalsFolded(names[0], u".orvel") || namesStorageCard(device, names[0]));
  if (!names.empty() && !special && resolveExactly(device, names, opening, out)) return ERROR_SUCCESS;

  out = ResolvedPath{};
  out.host = device.root().string();
  out.kind = ResolvedPath::Kind::Root;
  out.exists = true;
  out.isDirectory = true;
  for (size_t i = 0; i < names.size(); ++i) {
    std::u16string_view name = names[i];
    bool last = i + 1 == names.size();
    if (i == 0 && namesStorageCard(device, name)) {
      out.host = device.storageCard().string();
      out.kind = ResolvedPath::Kind::StorageCard;
      out.name = Device::kStorageCardName;
      continue;
    }
    if (i == 0 && out.kind == ResolvedPath::Kind::Root && equalsFolded(name, u".orvel")) return ERROR_ACCESS_DENIED;

    std::string hostName;
    struct stat info;
    out.kind = ResolvedPath::Kind::Entry;
    if (!findHostName(out.host, name, hostName, info)) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      out.host += '/' + toUtf8(name);
      out.name = name;
      out.exists = false;
      out.isDirectory = false;
      return ERROR_SUCCESS;
    }
    out.host += '/' + hostName;
    if (S_ISLNK(info.st_mode)) {
      if (!symlinkStaysInside(device, out.host)) return ERROR_ACCESS_DENIED;
      if (stat(out.host.c_str(), &info) != 0) return ERROR_ACCESS_DENIED;
    }
    out.isDirectory = S_ISDIR(info.st_mode);
    if (!last && !out.isDirectory) return ERROR_PATH_NOT_FOUND;
    out.name = fromUtf8(hostName);
  }
  if (opening && out.exists) {
    // Found by name, so opened by its host path; a folder is asked again
    // whether it still is one, a file shows it by its first read.
    HostDescriptor entry(::open(out.host.c_str(), openFlagsFor(opening)));
    struct stat info;
    bool isFolder = opening->purpose == OpenFor::Listing && entry.valid() && fstat(entry.get(), &info) == 0 &&
                    S_ISDIR(info.st_mode);
    handOver(entry, isFolder, opening, out);
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool isValidDeviceName(std::u16string_view name) {
  if (name.empty()) return false;
  for (char16_t c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case u'<':
      case u'>':
      case u':':
      case u'"':
      case u'|':
      case u'?':
      case u'*':
      case u'\\':
      case u'/':
        return false;
      default:
        break;
    }
  }
  return true;
}

void splitLastName(std::u16string_view path, std::u16string_view& folder, std::u16string_view& last) {
  size_t cut = path.size();
  while (cut > 0 && !isSeparator(path[cut - 1])) --cut;
  folder = path.substr(0, cut);
  last = path.substr(cut);
}

DWORD resolveDevicePath(const Device& device, std::u16string_view path, ResolvedPath& out) {
  return resolve(device, path, nullptr, out);
}

DWORD openDeviceFolder(const Device& device, std::u16string_view path, ResolvedPath& out, HostDescriptor& opened) {
  opened.reset();
  Opening opening{OpenFor::Listing, opened, nullptr};
  return resolve(device, path, &opening, out);
}

DWORD openDeviceFile(const Device& device, std::u16string_view path, ResolvedPath& out, HostDescriptor& opened,
                     FileStart& start) {
  opened.reset();
  start.size = 0;
  Opening opening{OpenFor::Reading, opened, &start};
  return resolve(device, path, &opening, out);
}

namespace {

bool matchFrom(std::u16string_view p, std::u16string_view n) {
  // Iterative glob with one backtrack point: linear enough for file names.
  size_t pi = 0, ni = 0, starP = std::u16string_view::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == u'*') {
      starP = pi++;
      starN = ni;
    } else if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni] || towupperW(p[pi]) == towupperW(n[ni]))) {
      ++pi;
      ++ni;
    } else if (starP != std::u16string_view::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

}  // namespace

bool matchesDevicePattern(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  if (matchFrom(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
      name.find(u'.') == std::u16string_view::npos)
    return matchFrom(pattern.substr(0, pattern.size() - 2), name);
  return false;
}
