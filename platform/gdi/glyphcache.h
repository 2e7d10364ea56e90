#pragma once
// Glyphs FreeType rendered at earlier starts, kept in the host's cache: the
// hinted faces the device draws with cost tens of thousands of instructions
// a glyph, and a start draws the same few dozen every time.
//
// One file per face as it is drawn (its file and its stamp, the FreeType
// that rendered it, the pixel size and the strokes added), named by a hash
// of that key and holding the key to compare. A file of another key, or one
// that does not read back whole, keeps nothing. The folder keeps at most
// kMaxGlyphFaces files, the oldest written going first.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gdi/font.h"

namespace gdi {

inline constexpr std::size_t kMaxGlyphFaces = 64;

using GlyphMap = std::unordered_map<char32_t, Glyph>;

// The glyphs kept in `folder` for one key: the file is read and checked
// whole when loaded, and each glyph made only when it is first asked for, as
// a start draws a few of the many a face keeps.
class KeptGlyphs {
 public:
  // What `folder` keeps for `key`; nothing from a file of another key or one
  // that does not read back whole.
  static KeptGlyphs load(const std::string& folder, const std::string& key);
  std::size_t size() const { return m_index.size(); }
  // The kept glyph for `code` into `glyph`; false when none is kept.
  bool find(char32_t code, Glyph& glyph) const;
  // Adds every kept glyph that `glyphs` does not hold yet.
  void addTo(GlyphMap& glyphs) const;

 private:
  std::vector<char> m_bytes;
  std::vector<std::pair<char32_t, std::size_t>> m_index;  // by code: where its header starts
};

// Every glyph kept in `folder` for `key`; none when there are none.
GlyphMap loadKeptGlyphs(const std::string& folder, const std::string& key);
// Keeps `glyphs` for `key`, replacing what was kept; false when it cannot be
// written (or `folder` is empty).
bool keepGlyphs(const std::string& folder, const std::string& key, const GlyphMap& glyphs);

}  // namespace gdi
