#include "render/computedstyle.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/gdiguards.h"

SVGPaint SVGPaint::fromText(DomStringView text) {
  SVGPaint paint;
  if (text == u"none") return paint;
  paint.paintType = SVG_PAINTTYPE_RGBCOLOR;
  parseColour(text, paint.colour);
  return paint;
}

LONG PlatformFont::heightFor(int size, int pixelsPerInch) {
  return -static_cast<LONG>(std::floor(static_cast<double>(size) * pixelsPerInch / 72.0 + 0.5));
}

PlatformFont::PlatformFont(HDC dc, const DomString& family, int size, bool italic, int weight) {
  DomStringView face = family.empty() ? DomStringView(u"times new roman") : DomStringView(family);
  std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::copy_n(face.begin(), length, m_logFont.lfFaceName);
  m_logFont.lfFaceName[length] = 0;
  m_logFont.lfHeight = heightFor(size, GetDeviceCaps(dc, LOGPIXELSY));
  m_logFont.lfWeight = weight;
  m_logFont.lfItalic = italic ? 1 : 0;
  m_logFont.lfCharSet = DEFAULT_CHARSET;
  m_logFont.lfPitchAndFamily = FF_SWISS;
  m_font.reset(CreateFontIndirectW(&m_logFont));
  if (!m_font) return;
  SelectedObject font(dc, m_font.get());
  TEXTMETRICW metrics{};
  if (GetTextMetricsW(dc, &metrics)) m_textHeight = metrics.tmHeight;
}

const ComputedStyle& ComputedStyle::defaults() {
  static const ComputedStyle style = [] {
    ComputedStyle s;
    WindowDC screen(nullptr);
    s.font.platformFont =
        std::make_shared<PlatformFont>(screen.get(), s.font.family, s.font.size, s.font.italic, s.font.weight);
    return s;
  }();
  return style;
}
