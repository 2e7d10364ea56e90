// The registry file: device-wide lock, reload on change, atomic replace.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/core/registry.h"

namespace {

constexpr char kFileName[] = "registry.txt";

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool readFile(const std::filesystem::path& path, std::string& bytes, int& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return false;
  }
  bytes.clear();
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      ::close(fd);
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

std::string timeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm parts;
  gmtime_r(&now, &parts);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &parts);
  return buffer;
}

}  // namespace

// The process's mutex (threads) and the device's lock file (processes).
class RegistryStore::Lock {
 public:
  explicit Lock(RegistryStore& store) : m_guard(store.m_mutex), m_fd(store.m_lockFd) {
    while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~Lock() {
    if (m_fd >= 0) flock(m_fd, LOCK_UN);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  std::lock_guard<std::mutex> m_guard;
  int m_fd;
};

RegistryStore::RegistryStore(std::filesystem::path folder, Durability durability)
    : m_folder(std::move(folder)), m_file(m_folder / kFileName), m_durability(durability) {
  m_lockFd = ::open((m_folder / "registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  m_folderFd = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  mapGeneration();
}

RegistryStore::~RegistryStore() {
  if (m_sharedGeneration) ::munmap(const_cast<std::atomic<unsigned long long>*>(m_sharedGeneration), kGenerationBytes);
  if (m_lockFd >= 0) ::close(m_lockFd);
  if (m_folderFd >= 0) ::close(m_folderFd);
}

void RegistryStore::mapGeneration() {
  static_assert(std::atomic<unsigned long long>::is_always_lock_free &&
                sizeof(std::atomic<unsigned long long>) == kGenerationBytes);
  struct stat info;
  if (m_lockFd < 0 || ::fstat(m_lockFd, &info) != 0) return;
  // A new lock file is empty, and a mapping past its end faults: it grows to
  // hold a generation of 0, which a writer's pwrite may already have put there.
  if (info.st_size < static_cast<off_t>(kGenerationBytes) && ::ftruncate(m_lockFd, kGenerationBytes) != 0) return;
  void* view = ::mmap(nullptr, kGenerationBytes, PROT_READ, MAP_SHARED, m_lockFd, 0);
  if (view != MAP_FAILED) m_sharedGeneration = static_cast<const std::atomic<unsigned long long>*>(view);
}

LONG RegistryStore::read(const std::function<LONG(const RegTree&)>& action) {
  if (m_lockFd < 0) return ERROR_CANTREAD;
  {
    // A writer moves the generation before it replaces the file, so a tree
    // whose generation and file are both still in force is what the device
    // holds: reading it needs no device lock.
    std::lock_guard<std::mutex> guard(m_mutex);
    if (isCurrent()) return action(m_tree);
  }
  Lock lock(*this);
  refresh(lock);
  return action(m_tree);
}

LONG RegistryStore::modify(const std::function<LONG(RegTree&, bool& changed)>& action) {
  if (m_lockFd < 0) return ERROR_CANTWRITE;
  Lock lock(*this);
  refresh(lock);
  bool changed = false;
  LONG result = action(m_tree, changed);
  if (changed && !save()) {
    m_loaded = false;  // what is on disk holds; reload it next time
    return ERROR_CANTWRITE;
  }
  return result;
}

bool RegistryStore::reset() {
  if (m_lockFd < 0) return false;
  Lock lock(*this);
  m_tree = RegTree{};
  seedRegistry(m_tree);
  m_frozen = false;
  m_loaded = save();
  return m_loaded;
}

bool RegistryStore::isCurrent() const {
  return m_loaded && readGeneration() == m_generation && currentStamp() == m_stamp;
}

bool RegistryStore::refresh(const Lock&) { return isCurrent() || load(); }

bool RegistryStore::load() {
  std::string bytes;
  int error = 0;
  if (!readFile(file(), bytes, error)) {
    if (error == ENOENT) {
      std::fprintf(stderr, "OrvelFlash: the registry file %s is missing; the device starts with a fresh registry.\n",
                   file().c_str());
      m_tree = RegTree{};
      seedRegistry(m_tree);
      m_loaded = save();
      return m_loaded;
    }
    replaceUnreadableFile(std::string("cannot read it: ") + std::strerror(error));
    return false;
  }
  std::string reason;
  RegTree tree;
  if (!parseRegistry(bytes, tree, reason)) {
    replaceUnreadableFile(reason);
    return false;
  }
  m_tree = std::move(tree);
  m_generation = readGeneration();
  m_stamp = currentStamp();
  m_loaded = true;
  m_frozen = false;
  return true;
}

void RegistryStore::replaceUnreadableFile(const std::string& reason) {
  std::filesystem::path aside = file();
  aside += ".unreadable-" + timeStamp();
  for (int n = 2; std::filesystem::exists(aside); ++n) {
    aside = file();
    aside += ".unreadable-" + timeStamp() + "-" + std::to_string(n);
  }
  m_tree = RegTree{};
  seedRegistry(m_tree);
  if (std::rename(file().c_str(), aside.c_str()) != 0) {
    // Never write over a file we could not move aside: work from memory.
    std::fprintf(stderr,
                 "OrvelFlash: the registry file %s could not be read (%s) nor moved aside (%s); "
                 "changes are kept in memory only.\n",
                 file().c_str(), reason.c_str(), std::strerror(errno));
    m_frozen = true;
    m_loaded = true;
    m_generation = readGeneration();
    m_stamp = currentStamp();
    return;
  }
  std::fprintf(stderr,
               "OrvelFlash: the registry file %s could not be read (%s); it was moved to %s and the device "
               "starts with a fresh registry.\n",
               file().c_str(), reason.c_str(), aside.c_str());
  m_frozen = false;
  m_loaded = save();
}

bool RegistryStore::save() {
  if (m_frozen) return false;
  std::filesystem::path temporary = m_folder / "registry.txt.new";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool flushed = m_durability == Durability::Flushed;
  bool written = writeAll(fd, formatRegistry(m_tree)) && (!flushed || ::fsync(fd) == 0);
  written = ::close(fd) == 0 && written;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The generation moves first: a reader that sees the old file after a
  // crash here only reloads once more than needed.
  unsigned long long generation = readGeneration() + 1;
  if (::pwrite(m_lockFd, &generation, sizeof generation, 0) != sizeof generation) return false;
  if (std::rename(temporary.c_str(), file().c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  int folder = flushed ? ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  m_generation = generation;
  m_stamp = currentStamp();
  return true;
}

unsigned long long RegistryStore::readGeneration() const {
  if (m_sharedGeneration) return m_sharedGeneration->load(std::memory_order_acquire);
  unsigned long long generation = 0;
  if (::pread(m_lockFd, &generation, sizeof generation, 0) != sizeof generation) return 0;
  return generation;
}

RegistryStore::Stamp RegistryStore::currentStamp() const {
  struct stat info;
  // Every read stamps the file: one name looked up in the open folder, not the whole path.
  const int found = m_folderFd >= 0 ? ::fstatat(m_folderFd, kFileName, &info, 0) : ::stat(m_file.c_str(), &info);
  if (found != 0) return {};
  return {static_cast<unsigned long long>(info.st_ino), static_cast<unsigned long long>(info.st_size),
          static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
              static_cast<unsigned long long>(info.st_mtim.tv_nsec)};
}
