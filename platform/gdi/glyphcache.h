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

#include "platform/gdi/font.h"

namespace gdi {

inline constexpr std::size_t kMaxGlyphFaces = 64;

using GlyphMap = std::unordered_map<char32_t, Glyph>;

// The glyphs kept in `folder` for `key`; none when there are none.
GlyphMap loadKeptGlyphs(const std::string& folder, const std::string& key);
// Keeps `glyphs` for `key`, replacing what was kept; false when it cannot be
// written (or `folder` is empty).
bool keepGlyphs(const std::string& folder, const std::string& key, const GlyphMap& glyphs);

}  // namespace gdi
