// Decoded pictures kept between starts: one file per picture, named by a hash
// of the bytes it was decoded from, which it holds to compare.

#include "platform/image/picturecache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/image/decode.h"

namespace image {
namespace {

namespace fs = std::filesystem;

// Pixels are stored as the host's words.
static_assert(std::endian::native == std::endian::little);

struct EntryHeader {
  char magic[4] = {'O', 'F', 'P', 'C'};
  std::uint32_t version = 1;
  std::uint64_t sourceSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t transparent = 0;  // 1 when the picture has a transparent colour
  std::uint32_t colour = 0;       // that colour, 0x00RRGGBB
};

// A host file descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  // Closes it now; false when the close reports a failed write.
  bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

 private:
  int m_fd;
};

std::uint64_t hashOf(std::span<const BYTE> bytes) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (BYTE b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

bool readAll(int fd, void* data, std::size_t size) {
  auto* at = static_cast<char*>(data);
  while (size) {
    ssize_t n = ::read(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(int fd, const void* data, std::size_t size) {
  const auto* at = static_cast<const char*>(data);
  while (size) {
    ssize_t n = ::write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string hostFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && *cache) return std::string(cache) + "/OrvelFlash/pictures";
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.cache/OrvelFlash/pictures" : std::string();
}

bool headerFits(const EntryHeader& header, std::span<const BYTE> source, off_t fileSize) {
  static const EntryHeader kExpected;
  if (std::memcmp(header.magic, kExpected.magic, sizeof header.magic) != 0 || header.version != kExpected.version)
    return false;
  if (header.sourceSize != source.size() || !sizeAcceptable(header.width, header.height)) return false;
  const std::uint64_t pixels = std::uint64_t(header.width) * std::uint64_t(header.height);
  return std::uint64_t(fileSize) == sizeof header + header.sourceSize + pixels * 4;
}

}  // namespace

PictureCache& PictureCache::host() {
  static PictureCache cache(hostFolder());
  return cache;
}

std::string PictureCache::entryPath(std::span<const BYTE> source) const {
  if (m_folder.empty()) return {};
  char name[32];
  std::snprintf(name, sizeof name, "/%016llx.px", static_cast<unsigned long long>(hashOf(source)));
  return m_folder + name;
}

bool PictureCache::find(std::span<const BYTE> source, RichImageData& out) const {
  const std::string path = entryPath(source);
  if (path.empty()) return false;
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return false;
  struct stat info;
  EntryHeader header;
  std::vector<BYTE> kept(source.size());
  if (::fstat(file.get(), &info) != 0 || !readAll(file.get(), &header, sizeof header) ||
      !headerFits(header, source, info.st_size) || !readAll(file.get(), kept.data(), kept.size()) ||
      !std::equal(kept.begin(), kept.end(), source.begin()))
    return false;
  RichImageData decoded;
  decoded.width = header.width;
  decoded.height = header.height;
  decoded.pixels.resize(std::size_t(header.width) * std::size_t(header.height));
  decoded.hasTransparentColor = header.transparent == 1;
  decoded.transparentColor = RichColor{BYTE(header.colour >> 16), BYTE(header.colour >> 8), BYTE(header.colour)};
  if (!readAll(file.get(), decoded.pixels.data(), decoded.pixels.size() * 4)) return false;
  out = std::move(decoded);
  return true;
}

bool PictureCache::keep(std::span<const BYTE> source, const RichImageData& decoded) const {
  const std::string path = entryPath(source);
  if (path.empty() || decoded.pixels.size() != std::size_t(decoded.width) * std::size_t(decoded.height)) return false;
  std::error_code ec;
  fs::create_directories(m_folder, ec);
  EntryHeader header;
  header.sourceSize = source.size();
  header.width = decoded.width;
  header.height = decoded.height;
  header.transparent = decoded.hasTransparentColor ? 1 : 0;
  const RichColor& c = decoded.transparentColor;
  header.colour = (std::uint32_t(c.red) << 16) | (std::uint32_t(c.green) << 8) | c.blue;
  const std::string temporary = path + "." + std::to_string(::getpid()) + ".new";
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (file.get() < 0) return false;
  bool ok = writeAll(file.get(), &header, sizeof header) && writeAll(file.get(), source.data(), source.size()) &&
            writeAll(file.get(), decoded.pixels.data(), decoded.pixels.size() * 4);
  ok = file.close() && ok;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  trim(path);
  return true;
}

// The oldest files but `newest` go until the folder holds kMaxEntries (times
// are coarse: the entry just written may share its time with older ones); a
// temporary file left by a writer that was killed counts as one and goes in
// its turn.
void PictureCache::trim(const std::string& newest) const {
  struct File {
    fs::file_time_type written;
    fs::path path;
  };
  std::vector<File> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, ec)) {
    std::error_code timeError;
    fs::file_time_type written = entry.last_write_time(timeError);
    if (!timeError && entry.path() != newest) files.push_back({written, entry.path()});
  }
  if (files.size() < kMaxEntries) return;
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.written < b.written; });
  for (std::size_t i = 0; i + kMaxEntries <= files.size(); ++i) fs::remove(files[i].path, ec);
}

}  // namespace image
