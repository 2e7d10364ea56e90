#pragma once
// The style every skin element carries after the style pass: what the
// painters and hit testing read. There is no cascade: each element starts
// from its parent's computed style (every property inherits) and applies its
// own declarations on top.

#include <cstdint>
#include <memory>

#include "dom/domstring.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/wingdi.h"
#include "render/svglength.h"
#include "style/colour.h"

struct SVGPaint {
  enum : std::uint16_t { SVG_PAINTTYPE_RGBCOLOR = 1, SVG_PAINTTYPE_NONE = 101 };

  std::uint16_t paintType = SVG_PAINTTYPE_NONE;
  Colour colour;

  bool isNone() const { return paintType == SVG_PAINTTYPE_NONE; }
  // "none" gives no paint; any other text a colour (the parser's fallback when unreadable).
  static SVGPaint fromText(DomStringView text);
};

// A platform font made for a computed style, shared by every element that
// inherits it without a font property of its own.
class PlatformFont {
 public:
  // Made against `dc`; the face holds at most 31 characters of `family`.
  PlatformFont(HDC dc, const DomString& family, int size, bool italic, int weight);
  PlatformFont(const PlatformFont&) = delete;
  PlatformFont& operator=(const PlatformFont&) = delete;

  HFONT handle() const { return m_font.get(); }
  int textHeight() const { return m_textHeight; }
  const LOGFONTW& logFont() const { return m_logFont; }

  // The character height for a size in points on a device of `pixelsPerInch`.
  static LONG heightFor(int size, int pixelsPerInch);

 private:
  LOGFONTW m_logFont{};
  GdiObject<HFONT> m_font;
  int m_textHeight = 0;
};

struct ComputedFont {
  DomString family = u"times new roman";
  std::uint16_t size = 9;
  bool italic = false;
  std::uint16_t weight = 50;
  std::shared_ptr<const PlatformFont> platformFont;
};

struct ComputedStyle {
  enum Visibility : std::uint8_t { kVisible = 0, kHidden = 1, kCollapse = 2 };

  std::uint8_t visibility : 3 = kVisible;
  ComputedFont font;
  SVGPaint fill;
  float fillOpacity = 1;
  Colour color;
  SVGPaint stroke;
  SVGLength strokeWidth = oneLength();

  // The root's starting point, made once per process with its font made
  // against the screen.
  static const ComputedStyle& defaults();

 private:
  static SVGLength oneLength() {
    SVGLength length;
    length.setValue(1);
    return length;
  }
};
