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
#include <cstring>
#include <vector>

#include "platform/core/hostcache.h"
#include "platform/image/decode.h"

namespace image {
namespace {

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

 private:
  int m_fd;
};

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
  static PictureCache cache(hostCacheFolder("pictures"));
  return cache;
}

std::string PictureCache::entryPath(std::span<const BYTE> source) const {
  if (m_folder.empty()) return {};
  return m_folder + "/" + cacheName({reinterpret_cast<const char*>(source.data()), source.size()}) + ".px";
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
  EntryHeader header;
  header.sourceSize = source.size();
  header.width = decoded.width;
  header.height = decoded.height;
  header.transparent = decoded.hasTransparentColor ? 1 : 0;
  const RichColor& c = decoded.transparentColor;
  header.colour = (std::uint32_t(c.red) << 16) | (std::uint32_t(c.green) << 8) | c.blue;
  std::string entry(reinterpret_cast<const char*>(&header), sizeof header);
  entry.append(reinterpret_cast<const char*>(source.data()), source.size());
  entry.append(reinterpret_cast<const char*>(decoded.pixels.data()), decoded.pixels.size() * 4);
  if (!replaceCacheFile(path, entry)) return false;
  keepNewestFiles(m_folder, kMaxEntries, path);
  return true;
}

}  // namespace image
