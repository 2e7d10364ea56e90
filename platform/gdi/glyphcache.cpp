#include "platform/gdi/glyphcache.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/core/hostcache.h"

namespace gdi {
namespace {

constexpr char kMagic[4] = {'O', 'F', 'G', 'L'};
constexpr std::uint32_t kVersion = 1;
constexpr std::int32_t kLargestSide = 4096;  // beyond any face of at most 512 pixels, emboldened

struct GlyphHeader {
  std::uint32_t code = 0;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t advance = 0;
};

std::string pathOf(const std::string& folder, const std::string& key) {
  return folder.empty() ? std::string() : folder + "/" + cacheName(key) + ".glyphs";
}

template <class T>
void put(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Reads a file's fields in order; any read past its end fails the rest.
class Reader {
 public:
  explicit Reader(const std::vector<char>& bytes) : m_bytes(bytes) {}
  template <class T>
  bool get(T& value) {
    return take(&value, sizeof value);
  }
  bool take(void* out, std::size_t size) {
    if (m_bytes.size() - m_at < size) return false;
    if (size) std::memcpy(out, m_bytes.data() + m_at, size);
    m_at += size;
    return true;
  }
  // The next `size` bytes in place, or null past the end.
  const char* view(std::size_t size) {
    if (m_bytes.size() - m_at < size) return nullptr;
    const char* at = m_bytes.data() + m_at;
    m_at += size;
    return at;
  }
  std::size_t left() const { return m_bytes.size() - m_at; }
  bool atEnd() const { return m_at == m_bytes.size(); }

 private:
  const std::vector<char>& m_bytes;
  std::size_t m_at = 0;
};

// The whole file, or nothing when it cannot be read.
std::vector<char> readWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return {};
  const std::streamoff size = file.tellg();
  if (size <= 0) return {};
  std::vector<char> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(bytes.data(), size)) return {};
  return bytes;
}

bool readGlyph(Reader& in, GlyphMap& glyphs) {
  GlyphHeader h;
  if (!in.get(h) || h.width < 0 || h.height < 0 || h.width > kLargestSide || h.height > kLargestSide) return false;
  Glyph g;
  g.left = h.left;
  g.top = h.top;
  g.width = h.width;
  g.height = h.height;
  g.advance = h.advance;
  const std::size_t size = static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height);
  const auto* coverage = reinterpret_cast<const std::uint8_t*>(in.view(size));
  if (!coverage) return false;
  g.coverage.assign(coverage, coverage + size);
  glyphs.insert_or_assign(h.code, std::move(g));
  return true;
}

}  // namespace

GlyphMap loadKeptGlyphs(const std::string& folder, const std::string& key) {
  const std::string path = pathOf(folder, key);
  if (path.empty()) return {};
  const std::vector<char> bytes = readWhole(path);
  Reader in(bytes);
  char magic[4];
  std::uint32_t version = 0, keyLength = 0, count = 0;
  if (!in.take(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0 || !in.get(version) ||
      version != kVersion || !in.get(keyLength) || keyLength != key.size())
    return {};
  std::string keptKey(keyLength, '\0');
  if (!in.take(keptKey.data(), keptKey.size()) || keptKey != key || !in.get(count)) return {};
  GlyphMap glyphs;
  // Room for every glyph at once, as far as the file can hold them.
  glyphs.reserve(std::min<std::size_t>(count, in.left() / sizeof(GlyphHeader)));
  for (std::uint32_t i = 0; i < count; ++i)
    if (!readGlyph(in, glyphs)) return {};
  return in.atEnd() ? glyphs : GlyphMap{};
}

bool keepGlyphs(const std::string& folder, const std::string& key, const GlyphMap& glyphs) {
  const std::string path = pathOf(folder, key);
  if (path.empty()) return false;
  std::string out(kMagic, sizeof kMagic);
  put(out, kVersion);
  put(out, static_cast<std::uint32_t>(key.size()));
  out += key;
  put(out, static_cast<std::uint32_t>(glyphs.size()));
  for (const auto& [code, g] : glyphs) {
    put(out, GlyphHeader{static_cast<std::uint32_t>(code), g.left, g.top, g.width, g.height, g.advance});
    out.append(reinterpret_cast<const char*>(g.coverage.data()), g.coverage.size());
  }
  if (!replaceCacheFile(path, out)) return false;
  keepNewestFiles(folder, kMaxGlyphFaces, path);
  return true;
}

}  // namespace gdi
