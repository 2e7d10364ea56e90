// Text of a movie drawn by the renderer: static text from glyph outlines,
// text fields laid out line by line in an embedded font or the device's.

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/flash/swfrender.h"
#include "platform/gdi/font.h"

namespace swf {

namespace {

constexpr float kGutterTwips = 40;        // a field's text keeps 2 pixels from its frame
constexpr int kMaxDevicePixelSize = 128;  // larger device text is drawn at this size, scaled
constexpr char32_t kPasswordCharacter = U'*';

// The device family standing for a movie's font name: the three generic
// names, then a few look-alikes; everything else is drawn in the sans face.
const char16_t* deviceFamily(const std::string& name) {
  auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
  if (name == "_serif" || has("Times") || has("Georgia") || has("Serif") || has("serif"))
    return has("Sans") || has("sans") ? u"Arial" : u"Times New Roman";
  if (name == "_typewriter" || has("Courier") || has("Mono") || has("mono")) return u"Courier New";
  return u"Arial";
}

std::shared_ptr<gdi::FontFace> deviceFace(const FontDef* font, int pixelSize) {
  LOGFONTW lf{};
  lf.lfHeight = -std::clamp(pixelSize, 1, kMaxDevicePixelSize);
  lf.lfWeight = font && font->bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font && font->italic;
  const char16_t* family = deviceFamily(font ? font->name : std::string("_sans"));
  for (size_t i = 0; family[i] && i + 1 < std::size(lf.lfFaceName); ++i) lf.lfFaceName[i] = family[i];
  return gdi::faceFor(lf);
}

bool isBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

// What measures a field's characters, in twips.
struct FieldFont {
  const FontDef* outlines = nullptr;  // embedded glyphs in use, or null for the device's
  std::shared_ptr<gdi::FontFace> device;
  float twipsPerDevicePixel = 1;
  float height = 0;  // twips per em

  float advance(char32_t c) const {
    if (outlines) {
      auto glyph = outlines->glyphFor(c);
      if (glyph && *glyph < outlines->advances.size())
        return float(outlines->advances[*glyph]) * height / outlines->emSquare;
      return height * 0.5f;
    }
    return float(device->glyph(c).advance) * twipsPerDevicePixel;
  }
  float ascent() const {
    if (outlines) return float(outlines->ascent) * height / outlines->emSquare;
    return float(device->metrics().tmAscent) * twipsPerDevicePixel;
  }
  float descent() const {
    if (outlines) return float(outlines->descent) * height / outlines->emSquare;
    return float(device->metrics().tmDescent) * twipsPerDevicePixel;
  }
};

// Splits the text into lines at breaks, and with word wrap where a line
// would grow wider than `width` twips, at the last space that fits.
std::vector<std::u32string> layoutLines(const std::u32string& text, const FieldFont& font, bool wrap, float width) {
  std::vector<std::u32string> lines(1);
  float lineWidth = 0;
  size_t lastSpace = std::u32string::npos;
  for (char32_t c : text) {
    if (isBreak(c)) {
      lines.emplace_back();
      lineWidth = 0;
      lastSpace = std::u32string::npos;
      continue;
    }
    std::u32string& line = lines.back();
    float w = font.advance(c);
    if (wrap && lineWidth + w > width && !line.empty() && c != U' ') {
      std::u32string rest;
      if (lastSpace != std::u32string::npos) {
        rest = line.substr(lastSpace + 1);
        line.erase(lastSpace);
      }
      lines.push_back(rest);
      lineWidth = 0;
      for (char32_t r : lines.back()) lineWidth += font.advance(r);
      lastSpace = std::u32string::npos;
    }
    if (c == U' ') lastSpace = lines.back().size();
    lines.back() += c;
    lineWidth += w;
  }
  return lines;
}

float lineWidthOf(const std::u32string& line, const FieldFont& font) {
  float width = 0;
  for (char32_t c : line) width += font.advance(c);
  return width;
}

// The font a field is laid out in at `scale` pixels per twip; none when
// the size is too small to draw.
std::optional<FieldFont> fieldFont(const MovieDef& movie, const EditTextDef& field, float scale) {
  const FontDef* embedded = field.fontId ? movie.font(*field.fontId) : nullptr;
  float pixelSize = float(field.height) * scale;
  if (!(pixelSize >= 1) || !std::isfinite(pixelSize)) return std::nullopt;
  FieldFont font;
  font.height = field.height;
  if (field.useOutlines && embedded && !embedded->glyphs.empty()) {
    font.outlines = embedded;
  } else {
    int deviceSize = std::clamp(int(std::lround(pixelSize)), 1, kMaxDevicePixelSize);
    font.device = deviceFace(embedded, deviceSize);
    font.twipsPerDevicePixel = pixelSize / float(deviceSize) / scale;
  }
  return font;
}

float textAreaWidth(const EditTextDef& field) {
  return float(field.bounds.width()) - 2 * kGutterTwips - field.leftMargin - field.rightMargin;
}

}  // namespace

TextExtent measureEditText(const MovieDef& movie, const EditTextDef& field) {
  constexpr float kPixelsPerTwip = 1.0f / 20;
  std::optional<FieldFont> font = fieldFont(movie, field, kPixelsPerTwip);
  if (!font || field.text.empty()) return {};
  TextExtent extent;
  std::vector<std::u32string> lines = layoutLines(field.text, *font, field.wordWrap, textAreaWidth(field));
  for (const std::u32string& line : lines) extent.width = std::max(extent.width, lineWidthOf(line, *font));
  float lineHeight = font->ascent() + font->descent();
  extent.height = float(lines.size()) * lineHeight + float(lines.size() - 1) * float(field.leading);
  return extent;
}

void MovieRenderer::drawText(const TextDef& text, const Matrix& toPixels, const ColorTransform& cx) {
  Matrix base = toPixels * text.matrix;
  for (const TextRun& run : text.runs) {
    const FontDef* font = m_movie->font(run.fontId);
    if (!font || run.glyphs.empty()) continue;
    float scale = float(run.height) / font->emSquare;
    m_raster.reset();
    float x = run.x;
    for (const GlyphEntry& entry : run.glyphs) {
      if (entry.index < font->glyphs.size() && !font->glyphs[entry.index].fillEdges.empty()) {
        const std::vector<Edge>& outline = font->glyphs[entry.index].fillEdges[0];
        if (!takeBudget(outline.size())) return;
        Matrix m = base * Matrix::translation(x, run.y) * Matrix::scaling(scale, scale);
        for (const Edge& e : outline) {
          if (e.curved)
            m_raster.addCurve(m.apply(e.from), m.apply(e.control), m.apply(e.to));
          else
            m_raster.addLine(m.apply(e.from), m.apply(e.to));
        }
      }
      x += float(entry.advance);
    }
    Paint paint = m_drawingMask ? Paint::solid(Rgba{255, 255, 255, 255}) : Paint::solid(cx.apply(run.color));
    m_raster.fill(m_canvas, paint, m_pixelsLeft);
  }
}

void MovieRenderer::fillRect(const Rect& r, const Matrix& toPixels, Rgba color) {
  m_raster.reset();
  Point corners[4] = {toPixels.apply({float(r.xMin), float(r.yMin)}), toPixels.apply({float(r.xMax), float(r.yMin)}),
                      toPixels.apply({float(r.xMax), float(r.yMax)}), toPixels.apply({float(r.xMin), float(r.yMax)})};
  for (int i = 0; i < 4; ++i) m_raster.addLine(corners[i], corners[(i + 1) % 4]);
  m_raster.fill(m_canvas, Paint::solid(color), m_pixelsLeft);
}

// A one-pixel frame on the rectangle's edges, whatever the scale: its right
// and bottom sides lie on the pixels just past the rectangle.
void MovieRenderer::strokeRect(const Rect& r, const Matrix& toPixels, Rgba color) {
  Point a = toPixels.apply({float(r.xMin), float(r.yMin)}), b = toPixels.apply({float(r.xMax), float(r.yMax)});
  float left = std::round(std::min(a.x, b.x)), right = std::round(std::max(a.x, b.x));
  float top = std::round(std::min(a.y, b.y)), bottom = std::round(std::max(a.y, b.y));
  const Point sides[4][2] = {{{left, top}, {right + 1, top + 1}},
                             {{left, bottom}, {right + 1, bottom + 1}},
                             {{left, top}, {left + 1, bottom + 1}},
                             {{right, top}, {right + 1, bottom + 1}}};
  for (const auto& side : sides) {
    m_raster.reset();
    Point p[4] = {side[0], {side[1].x, side[0].y}, side[1], {side[0].x, side[1].y}};
    for (int i = 0; i < 4; ++i) m_raster.addLine(p[i], p[(i + 1) % 4]);
    m_raster.fill(m_canvas, Paint::solid(color), m_pixelsLeft);
  }
}

void MovieRenderer::drawFieldFrame(const EditTextDef& field, const Matrix& toPixels, const ColorTransform& cx) {
  if (field.background) fillRect(field.bounds, toPixels, cx.apply(field.backgroundColor));
  if (field.border) strokeRect(field.bounds, toPixels, cx.apply(field.borderColor));
}

void MovieRenderer::drawEditText(const EditTextDef& field, const Matrix& toPixels, const ColorTransform& cx) {
  if (m_drawingMask) {
    fillRect(field.bounds, toPixels, Rgba{255, 255, 255, 255});
    return;
  }
  drawFieldFrame(field, toPixels, cx);
  if (field.text.empty()) return;
  float scale = toPixels.meanScale();
  float pixelSize = float(field.height) * scale;
  std::optional<FieldFont> laidOut = fieldFont(*m_movie, field, scale);
  if (!laidOut) return;
  const FieldFont& font = *laidOut;
  std::u32string shown = field.text;
  if (field.password)
    for (char32_t& c : shown)
      if (!isBreak(c)) c = kPasswordCharacter;
  const Rect& b = field.bounds;
  float left = float(b.xMin) + kGutterTwips + field.leftMargin;
  float width = textAreaWidth(field);
  std::vector<std::u32string> lines = layoutLines(shown, font, field.wordWrap, width);
  float ascent = font.ascent(), lineStep = ascent + font.descent() + float(field.leading);
  float baseline = float(b.yMin) + kGutterTwips + ascent;
  Rgba color = cx.apply(field.color);
  for (size_t i = 0; i < lines.size() && baseline - ascent < float(b.yMax); ++i, baseline += lineStep) {
    float lineWidth = lineWidthOf(lines[i], font);
    float x = left + (i == 0 ? float(field.indent) : 0);
    if (field.align == TextAlign::Right) x = left + width - lineWidth;
    if (field.align == TextAlign::Center) x = left + (width - lineWidth) / 2;
    if (font.outlines) {
      TextDef run;
      TextRun glyphs{*field.fontId, color, x, baseline, field.height, {}};
      for (char32_t c : lines[i]) {
        auto glyph = font.outlines->glyphFor(c);
        glyphs.glyphs.push_back({uint32_t(glyph.value_or(UINT32_MAX)), int32_t(std::lround(font.advance(c)))});
      }
      run.runs.push_back(std::move(glyphs));
      drawText(run, toPixels, ColorTransform{});
    } else {
      drawDeviceLine(field, lines[i], {x, baseline}, pixelSize, toPixels, color);
    }
  }
}

// Device glyphs are pictures at a whole pixel size, put at the pen's pixel
// and cut at the field's frame.
void MovieRenderer::drawDeviceLine(const EditTextDef& field, const std::u32string& line, Point origin, float pixelSize,
                                   const Matrix& toPixels, Rgba color) {
  const FontDef* embedded = field.fontId ? m_movie->font(*field.fontId) : nullptr;
  auto face = deviceFace(embedded, int(std::lround(pixelSize)));
  Point a = toPixels.apply({float(field.bounds.xMin), float(field.bounds.yMin)});
  Point z = toPixels.apply({float(field.bounds.xMax), float(field.bounds.yMax)});
  int clipLeft = std::max(0, int(std::floor(std::min(a.x, z.x))));
  int clipTop = std::max(0, int(std::floor(std::min(a.y, z.y))));
  int clipRight = std::min(m_canvas.width, int(std::ceil(std::max(a.x, z.x))));
  int clipBottom = std::min(m_canvas.height, int(std::ceil(std::max(a.y, z.y))));
  uint32_t src = premultiply(color);
  Point pen = toPixels.apply(origin);
  float penX = pen.x;
  int baseline = int(std::lround(pen.y));
  for (char32_t c : line) {
    const gdi::Glyph& g = face->glyph(c);
    int x0 = int(std::lround(penX)) + g.left, y0 = baseline - g.top;
    for (int y = std::max(y0, clipTop); y < std::min(y0 + g.height, clipBottom); ++y) {
      uint32_t* row = m_canvas.row(y);
      const uint8_t* clip = m_canvas.clipRow(y);
      for (int x = std::max(x0, clipLeft); x < std::min(x0 + g.width, clipRight); ++x) {
        unsigned coverage = g.coverage[size_t(y - y0) * size_t(g.width) + size_t(x - x0)];
        if (clip) coverage = divideBy255(coverage * clip[x]);
        if (coverage) row[x] = blendPixel(row[x], src, coverage);
      }
    }
    penX += float(g.advance);
  }
}

}  // namespace swf
