// Text: metrics, extents, output and laid-out text in rectangles.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gdi/font.h"
#include "platform/gdi/gdiimpl.h"

using namespace gdi;

namespace {

FontFace& faceOf(DeviceContext& d) {
  FontObject* f = d.font ? d.font : static_cast<FontObject*>(stockObject(SYSTEM_FONT));
  if (!f->face) f->face = faceFor(f->logFont);
  return *f->face;
}

// Next code point of UTF-16 text; a lone surrogate stands for itself.
char32_t nextCodePoint(std::u16string_view text, size_t& i) {
  char16_t c = text[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i++] - 0xDC00);
  return c;
}

int widthOf(FontFace& face, std::u16string_view text) {
  int w = 0;
  for (size_t i = 0; i < text.size();) w += face.glyph(nextCodePoint(text, i)).advance;
  return w;
}

void blendGlyph(DeviceContext& d, Surface& s, const Glyph& g, int penX, int baseline, std::uint32_t color,
                const std::optional<RECT>& limit) {
  if (g.width == 0 || g.height == 0) return;
  RECT box{penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.height};
  if (limit) box = rectIntersection(box, *limit);
  if (rectIsEmpty(box)) return;
  int r = (color >> 16) & 0xFF, gr = (color >> 8) & 0xFF, b = color & 0xFF;
  for (const RECT& c : clipOf(d).rects()) {
    RECT part = rectIntersection(box, c);
    if (rectIsEmpty(part)) continue;
    for (LONG y = part.top; y < part.bottom; ++y) {
      const std::uint8_t* cov = g.coverage.data() + static_cast<size_t>(y - (baseline - g.top)) * g.width;
      std::uint32_t* out = s.row(y);
      for (LONG x = part.left; x < part.right; ++x) {
        int a = cov[x - (penX + g.left)];
        if (a == 0) continue;
        if (s.mono()) {
          if (a >= 128) out[x] = color;
          continue;
        }
        if (a == 255) {
          out[x] = color;
          continue;
        }
        std::uint32_t p = out[x];
        int pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF;
        // d + (c - d) * a / 255, with the division by 255 as a multiply and shift.
        pr += ((r - pr) * a * 257 + 32768) >> 16;
        pg += ((gr - pg) * a * 257 + 32768) >> 16;
        pb += ((b - pb) * a * 257 + 32768) >> 16;
        out[x] = (static_cast<std::uint32_t>(pr) << 16) | (static_cast<std::uint32_t>(pg) << 8) |
                 static_cast<std::uint32_t>(pb);
      }
    }
    drewOn(&s, part);
  }
}

// Draws one line with its top-left corner at (x, y) in logical coordinates,
// within `limit` (surface coordinates) when given.
void drawRun(DeviceContext& d, int x, int y, std::u16string_view text, const int* dx,
             const std::optional<RECT>& limit) {
  Surface* s = surfaceOf(d);
  if (!s) return;
  FontFace& face = faceOf(d);
  const TEXTMETRICW& tm = face.metrics();
  int penX = x + d.origin.x;
  int top = y + d.origin.y;
  if (d.bkMode == OPAQUE) {
    int width = 0;
    if (dx) {
      for (size_t i = 0; i < text.size(); ++i) width += dx[i];
    } else {
      width = widthOf(face, text);
    }
    RECT cell{penX, top, penX + width, top + tm.tmHeight};
    if (limit) cell = rectIntersection(cell, *limit);
    fillClipped(d, cell, deviceValue(*s, d.bkColor));
  }
  std::uint32_t color = deviceValue(*s, d.textColor);
  int baseline = top + tm.tmAscent;
  for (size_t i = 0; i < text.size();) {
    size_t at = i;
    const Glyph& g = face.glyph(nextCodePoint(text, i));
    blendGlyph(d, *s, g, penX, baseline, color, limit);
    penX += dx ? dx[at] : g.advance;
  }
}

std::u16string_view textView(LPCWSTR text, int count) {
  if (!text) return {};
  if (count < 0) return std::u16string_view(text);
  return std::u16string_view(text, static_cast<size_t>(count));
}

// ---- DrawTextW layout ---------------------------------------------------------------

// "&x" shows as "x" (the device underlines it) and "&&" as "&".
std::u16string stripPrefixes(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (++i < text.size()) out += text[i];
      continue;
    }
    out += text[i];
  }
  return out;
}

std::vector<std::u16string> splitParagraphs(const std::u16string& text, bool singleLine) {
  std::vector<std::u16string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (singleLine) {
        lines.back() += u' ';
        continue;
      }
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines.emplace_back();
      continue;
    }
    lines.back() += c;
  }
  return lines;
}

// Breaks a paragraph at spaces so that each line fits `width`; a word longer
// than the line stays whole (and is cut by the clip).
void wrap(FontFace& face, const std::u16string& paragraph, int width, std::vector<std::u16string>& out) {
  std::u16string line;
  size_t i = 0;
  while (i < paragraph.size()) {
    size_t wordEnd = paragraph.find(u' ', i);
    if (wordEnd == std::u16string::npos) wordEnd = paragraph.size();
    std::u16string word = paragraph.substr(i, wordEnd - i);
    std::u16string candidate = line.empty() ? word : line + u' ' + word;
    if (!line.empty() && widthOf(face, candidate) > width) {
      out.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    i = wordEnd + 1;
  }
  out.push_back(line);
}

std::u16string withEllipsis(FontFace& face, std::u16string line, int width) {
  if (widthOf(face, line) <= width) return line;
  const std::u16string dots = u"...";
  while (!line.empty() && widthOf(face, line + dots) > width) line.pop_back();
  return line + dots;
}

}  // namespace

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
  DeviceContext* d = dcOf(dc);
  if (!d || !metrics) return FALSE;
  *metrics = faceOf(*d).metrics();
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  DeviceContext* d = dcOf(dc);
  if (!d || !size || count < 0 || (count > 0 && !text)) return FALSE;
  FontFace& face = faceOf(*d);
  size->cx = widthOf(face, textView(text, count));
  size->cy = face.metrics().tmHeight;
  return TRUE;
}

int GetTextFaceW(HDC dc, int count, LPWSTR buffer) {
  DeviceContext* d = dcOf(dc);
  if (!d) return 0;
  const std::u16string& family = faceOf(*d).family();
  if (!buffer) return static_cast<int>(family.size()) + 1;
  if (count <= 0) return 0;
  int n = std::min<int>(static_cast<int>(family.size()), count - 1);
  std::copy_n(family.c_str(), n, buffer);
  buffer[n] = 0;
  return n;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx) {
  DeviceContext* d = dcOf(dc);
  if (!d || (count > 0 && !text)) return FALSE;
  Surface* s = surfaceOf(*d);
  if (!s) return FALSE;
  std::optional<RECT> limit;
  if (rect) {
    RECT sr = rectOffset(*rect, d->origin.x, d->origin.y);
    if (options & ETO_OPAQUE) fillClipped(*d, sr, deviceValue(*s, d->bkColor));
    if (options & ETO_CLIPPED) limit = sr;
  }
  drawRun(*d, x, y, textView(text, static_cast<int>(count)), dx, limit);
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  if (count < 0) return FALSE;
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  DeviceContext* d = dcOf(dc);
  if (!d || !rect || (count != 0 && !text)) return 0;
  FontFace& face = faceOf(*d);
  const TEXTMETRICW& tm = face.metrics();
  std::u16string body(textView(text, count));
  if (!(format & DT_NOPREFIX)) body = stripPrefixes(body);
  if (format & DT_EXPANDTABS) {
    std::u16string expanded;
    for (char16_t c : body) expanded += c == u'\t' ? std::u16string(u"        ") : std::u16string(1, c);
    body = expanded;
  }
  bool single = format & DT_SINGLELINE;
  int boxWidth = rect->right - rect->left;
  std::vector<std::u16string> lines;
  for (const std::u16string& paragraph : splitParagraphs(body, single)) {
    if ((format & DT_WORDBREAK) && !single)
      wrap(face, paragraph, boxWidth, lines);
    else
      lines.push_back(paragraph);
  }
  if (format & DT_END_ELLIPSIS)
    for (auto& line : lines) line = withEllipsis(face, line, boxWidth);

  int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  int totalHeight = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const auto& line : lines) widest = std::max(widest, widthOf(face, line));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + totalHeight;
    return totalHeight;
  }

  int y = rect->top;
  if (single && (format & DT_VCENTER)) y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  if (single && (format & DT_BOTTOM)) y = rect->bottom - lineHeight;
  std::optional<RECT> limit;
  if (!(format & DT_NOCLIP)) limit = rectOffset(*rect, d->origin.x, d->origin.y);
  bool aligned = format & (DT_CENTER | DT_RIGHT);
  for (const auto& line : lines) {
    int w = aligned ? widthOf(face, line) : 0;
    int x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (boxWidth - w) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - w;
    drawRun(*d, x, y, line, nullptr, limit);
    y += lineHeight;
  }
  return totalHeight;
}
