// Text of a movie drawn by the renderer: static text from glyph outlines,
// text fields laid out line by line in an embedded font or the device's.

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/flash/swfrender.h"
#include "platform/gdi/font.h"

namespace swf {

namespace {

constexpr char32_t kPasswordCharacter = U'*';
constexpr float kPixelsPerTwip = 1.0f / 20;

bool isBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

std::u32string shownText(const EditTextState& field) {
  std::u32string shown = field.def.text;
  if (field.def.password)
    for (char32_t& c : shown)
      if (!isBreak(c)) c = kPasswordCharacter;
  return shown;
}

Rgba colourOf(uint32_t rgb) { return Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255}; }

}  // namespace

TextExtent measureEditText(const MovieDef& movie, const EditTextState& field) {
  if (field.def.text.empty()) return {};
  FieldLayout layout = layoutField(movie, field, field.def.text, kPixelsPerTwip, LayoutUse::Measure);
  return {layout.width, layout.height};
}

FieldScroll fieldScroll(const MovieDef& movie, const EditTextState& field) {
  FieldLayout layout = layoutField(movie, field, field.def.text, kPixelsPerTwip, LayoutUse::Measure);
  size_t lines = layout.lines.size();
  size_t first = std::min(size_t(std::max(field.scroll, 1)) - 1, lines - 1);
  size_t maxFirst = lines - 1;
  while (maxFirst > 0 && linesShown(layout, field, maxFirst - 1) >= lines - maxFirst + 1) --maxFirst;
  return {int(maxFirst + 1), int(first + linesShown(layout, field, first))};
}

void MovieRenderer::drawText(const TextDef& text, const Matrix& toPixels, const ColorTransform& cx) {
  Matrix base = toPixels * text.matrix;
  for (const TextRun& run : text.runs) {
    const FontDef* font = m_movie->font(run.fontId);
    if (font && !run.glyphs.empty() && !drawGlyphRun(run, *font, base, cx.apply(run.color))) return;
  }
}

bool MovieRenderer::drawGlyphRun(const TextRun& run, const FontDef& font, const Matrix& toPixels, Rgba color) {
  float scale = float(run.height) / font.emSquare;
  m_raster.reset();
  float x = run.x;
  for (const GlyphEntry& entry : run.glyphs) {
    if (entry.index < font.glyphs.size() && !font.glyphs[entry.index].fillEdges.empty()) {
      const std::vector<Edge>& outline = font.glyphs[entry.index].fillEdges[0];
      if (!takeBudget(outline.size())) return false;
      Matrix m = toPixels * Matrix::translation(x, run.y) * Matrix::scaling(scale, scale);
      for (const Edge& e : outline) {
        if (e.curved)
          m_raster.addCurve(m.apply(e.from), m.apply(e.control), m.apply(e.to));
        else
          m_raster.addLine(m.apply(e.from), m.apply(e.to));
      }
    }
    x += float(entry.advance);
  }
  Paint paint = m_drawingMask ? Paint::solid(Rgba{255, 255, 255, 255}) : Paint::solid(color);
  m_raster.fill(m_canvas, paint, m_pixelsLeft);
  return true;
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

void MovieRenderer::drawEditText(const EditTextState& field, const Matrix& toPixels, const ColorTransform& cx) {
  const EditTextDef& def = field.def;
  if (m_drawingMask) {
    fillRect(def.bounds, toPixels, Rgba{255, 255, 255, 255});
    return;
  }
  drawFieldFrame(def, toPixels, cx);
  float scale = toPixels.meanScale();
  if (def.text.empty() || !(float(def.height) * scale >= 0.5f) || !std::isfinite(scale)) return;
  std::u32string shown = shownText(field);
  FieldLayout layout = layoutField(*m_movie, field, shown, scale, LayoutUse::Draw);
  size_t first = std::min(size_t(std::max(field.scroll, 1)) - 1, layout.lines.size() - 1);
  float top = float(def.bounds.yMin) + kGutterTwips - layout.lines[first].top;
  float shift = -float(field.hscroll) * 20;
  for (size_t i = first; i < layout.lines.size(); ++i) {
    const LaidLine& line = layout.lines[i];
    if (top + line.top >= float(def.bounds.yMax)) break;
    for (size_t from = line.from; from < line.to;) {
      size_t to = from;
      while (to < line.to && layout.fontOf[to] == layout.fontOf[from]) ++to;
      const TextFieldFormat& format = formatAt(field, from);
      Rgba color = cx.apply(colourOf(format.color));
      Point origin{layout.x[from] + shift, top + line.baseline};
      drawFieldPiece(field, layout, shown, from, to, origin, toPixels, color);
      if (format.underline) {
        float end =
            to < line.to ? layout.x[to] : layout.x[to - 1] + layout.fonts[layout.fontOf[to - 1]].advance(shown[to - 1]);
        underline(def, origin, end + shift, layout.fonts[layout.fontOf[from]], toPixels, color);
      }
      from = to;
    }
  }
}

void MovieRenderer::drawFieldPiece(const EditTextState& field, const FieldLayout& layout, const std::u32string& shown,
                                   size_t from, size_t to, Point origin, const Matrix& toPixels, Rgba color) {
  const FieldFont& font = layout.fonts[layout.fontOf[from]];
  float shift = origin.x - layout.x[from];
  if (font.outlines) {
    TextRun run{0, color, std::round(origin.x), origin.y, uint16_t(std::clamp(font.height, 1.0f, 65535.0f)), {}};
    for (size_t i = from; i < to; ++i) {
      auto glyph = font.outlines->glyphFor(shown[i]);
      float next = i + 1 < to ? layout.x[i + 1] : layout.x[i];
      auto advance = int32_t(std::lround(next) - std::lround(layout.x[i]));
      run.glyphs.push_back({uint32_t(glyph.value_or(UINT32_MAX)), advance});
    }
    drawGlyphRun(run, *font.outlines, toPixels, color);
    return;
  }
  drawDeviceGlyphs(field.def, *font.device, shown, from, to, layout.x, shift, origin.y, toPixels, color);
}

// An underline a pixel thick (or a twentieth of the font's size when that
// is more) a little below the baseline, under the piece's characters.
void MovieRenderer::underline(const EditTextDef& field, Point origin, float end, const FieldFont& font,
                              const Matrix& toPixels, Rgba color) {
  float scale = toPixels.meanScale();
  float thickness = std::max(1.0f / scale, font.height / 20);
  float y = origin.y + std::max(font.descent() / 2, 1.0f / scale);
  Rect r{int32_t(std::floor(origin.x)), int32_t(std::ceil(end)), int32_t(std::lround(y)),
         int32_t(std::lround(y + thickness))};
  r.xMax = std::min(r.xMax, field.bounds.xMax - int32_t(kGutterTwips / 2));
  if (r.xMax > r.xMin) fillRect(r, toPixels, color);
}

// Device glyphs are pictures at a whole pixel size, put at each character's
// pixel and cut at the field's frame.
void MovieRenderer::drawDeviceGlyphs(const EditTextDef& field, gdi::FontFace& face, const std::u32string& shown,
                                     size_t from, size_t to, const std::vector<float>& x, float shift, float baselineY,
                                     const Matrix& toPixels, Rgba color) {
  Point a = toPixels.apply({float(field.bounds.xMin), float(field.bounds.yMin)});
  Point z = toPixels.apply({float(field.bounds.xMax), float(field.bounds.yMax)});
  int clipLeft = std::max(0, int(std::floor(std::min(a.x, z.x))));
  int clipTop = std::max(0, int(std::floor(std::min(a.y, z.y))));
  int clipRight = std::min(m_canvas.width, int(std::ceil(std::max(a.x, z.x))));
  int clipBottom = std::min(m_canvas.height, int(std::ceil(std::max(a.y, z.y))));
  uint32_t src = premultiply(color);
  for (size_t i = from; i < to; ++i) {
    Point pen = toPixels.apply({x[i] + shift, baselineY});
    int baseline = int(std::lround(pen.y));
    const gdi::Glyph& g = face.glyph(shown[i]);
    int x0 = int(std::lround(pen.x)) + g.left, y0 = baseline - g.top;
    for (int y = std::max(y0, clipTop); y < std::min(y0 + g.height, clipBottom); ++y) {
      uint32_t* row = m_canvas.row(y);
      const uint8_t* clip = m_canvas.clipRow(y);
      for (int px = std::max(x0, clipLeft); px < std::min(x0 + g.width, clipRight); ++px) {
        unsigned coverage = g.coverage[size_t(y - y0) * size_t(g.width) + size_t(px - x0)];
        if (clip) coverage = divideBy255(coverage * clip[px]);
        if (coverage) row[px] = blendPixel(row[px], src, coverage);
      }
    }
  }
}

}  // namespace swf
