#include "platform/core/hostcache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

std::string hostCacheFolder(const char* name) {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && *cache) return std::string(cache) + "/OrvelFlash/" + name;
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.cache/OrvelFlash/" + name : std::string();
}

bool replaceCacheFile(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temporary = path + "." + std::to_string(::getpid()) + ".new";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

void keepNewestFiles(const std::string& folder, std::size_t count, const std::string& newest) {
  struct File {
    fs::file_time_type written;
    fs::path path;
  };
  std::vector<File> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    std::error_code timeError;
    fs::file_time_type written = entry.last_write_time(timeError);
    if (!timeError && entry.path() != newest) files.push_back({written, entry.path()});
  }
  if (files.size() < count) return;
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.written < b.written; });
  for (std::size_t i = 0; i + count <= files.size(); ++i) fs::remove(files[i].path, ec);
}

std::string cacheName(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return name;
}
