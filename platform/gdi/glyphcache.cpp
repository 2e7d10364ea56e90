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

// Checks one glyph's header and steps over its coverage; false when the file
// ends first or the glyph is out of bounds.
bool skipGlyph(Reader& in, GlyphHeader& h) {
  if (!in.get(h) || h.width < 0 || h.height < 0 || h.width > kLargestSide || h.height > kLargestSide) return false;
  return in.view(static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height)) != nullptr;
}

}  // namespace

KeptGlyphs KeptGlyphs::load(const std::string& folder, const std::string& key) {
  const std::string path = pathOf(folder, key);
  if (path.empty()) return {};
  KeptGlyphs kept;
  kept.m_bytes = readWhole(path);
  Reader in(kept.m_bytes);
  char magic[4];
  std::uint32_t version = 0, keyLength = 0, count = 0;
  if (!in.take(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0 || !in.get(version) ||
      version != kVersion || !in.get(keyLength) || keyLength != key.size())
    return {};
  std::string keptKey(keyLength, '\0');
  if (!in.take(keptKey.data(), keptKey.size()) || keptKey != key || !in.get(count)) return {};
  // Room for every glyph at once, as far as the file can hold them.
  kept.m_index.reserve(std::min<std::size_t>(count, in.left() / sizeof(GlyphHeader)));
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = kept.m_bytes.size() - in.left();
    GlyphHeader h;
    if (!skipGlyph(in, h)) return {};
    kept.m_index.push_back({static_cast<char32_t>(h.code), at});
  }
  if (!in.atEnd()) return {};
  // A code written twice is the later glyph's.
  std::stable_sort(kept.m_index.begin(), kept.m_index.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto last = std::unique(kept.m_index.rbegin(), kept.m_index.rend(),
                          [](const auto& a, const auto& b) { return a.first == b.first; });
  kept.m_index.erase(kept.m_index.begin(), last.base());
  return kept;
}

bool KeptGlyphs::find(char32_t code, Glyph& glyph) const {
  auto it = std::lower_bound(m_index.begin(), m_index.end(), code,
                             [](const auto& entry, char32_t c) { return entry.first < c; });
  if (it == m_index.end() || it->first != code) return false;
  GlyphHeader h;
  std::memcpy(&h, m_bytes.data() + it->second, sizeof h);
  glyph.left = h.left;
  glyph.top = h.top;
  glyph.width = h.width;
  glyph.height = h.height;
  glyph.advance = h.advance;
  const auto* coverage = reinterpret_cast<const std::uint8_t*>(m_bytes.data() + it->second + sizeof h);
  glyph.coverage.assign(coverage, coverage + static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height));
  return true;
}

void KeptGlyphs::addTo(GlyphMap& glyphs) const {
  for (const auto& entry : m_index) {
    Glyph g;
    if (!glyphs.count(entry.first) && find(entry.first, g)) glyphs.emplace(entry.first, std::move(g));
  }
}

GlyphMap loadKeptGlyphs(const std::string& folder, const std::string& key) {
  GlyphMap glyphs;
  KeptGlyphs::load(folder, key).addTo(glyphs);
  return glyphs;
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
