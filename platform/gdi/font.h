#pragma once
// A font as the drawing interface uses it: a FreeType face found through
// fontconfig for a LOGFONTW, set to its pixel size, with its metrics and a
// cache of rendered glyphs. Faces are shared by every font object asking for
// the same thing and live until the process ends.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/wingdi.h"

namespace gdi {

struct Glyph {
  int left = 0;  // from the pen position to the bitmap's left edge
  int top = 0;   // from the baseline up to the bitmap's top edge
  int width = 0;
  int height = 0;
  int advance = 0;                     // whole pixels
  std::vector<std::uint8_t> coverage;  // width x height, 0..255
};

class FontFace {
 public:
  virtual ~FontFace() = default;
  virtual const Glyph& glyph(char32_t c) = 0;
  const TEXTMETRICW& metrics() const { return m_metrics; }
  const std::u16string& family() const { return m_family; }

 protected:
  TEXTMETRICW m_metrics{};
  std::u16string m_family;
};

// The face for a LOGFONTW; never null (a face of last resort draws boxes).
std::shared_ptr<FontFace> faceFor(const LOGFONTW& logFont);

}  // namespace gdi
