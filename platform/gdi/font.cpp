// Finding faces through fontconfig and rendering glyphs with FreeType.

#include "platform/gdi/font.h"

#include <sys/stat.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "platform/core/latesymbol.h"
#include "platform/core/wcrt.h"
#include "platform/core/hostcache.h"
#include "platform/gdi/fontmatchcache.h"
#include "platform/gdi/glyphcache.h"

namespace gdi {
namespace {

// The handheld's own faces (Tahoma and friends) come with fonts-wine, in a
// folder fontconfig does not search by itself.
constexpr const char* kDeviceFontDir = "/usr/share/wine/fonts";
constexpr int kDefaultPixelHeight = 12;
constexpr int kMaxPixelHeight = 512;

std::string narrowFace(const WCHAR* face) {
  std::string out;
  for (int i = 0; i < LF_FACESIZE && face[i]; ++i) out += face[i] < 0x80 ? static_cast<char>(face[i]) : '?';
  return out;
}

std::u16string wideOf(const char* s) {
  std::u16string out;
  for (; s && *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return out;
}

// The device's names that are not family names of their own.
std::string familyAsked(const LOGFONTW& lf) {
  std::string face = narrowFace(lf.lfFaceName);
  if (face.empty() || _wcsicmp(lf.lfFaceName, u"System") == 0) return "Tahoma";
  return face;
}

// fontconfig is loaded by the first face the kept matches do not answer, so
// that a start whose faces are all kept never maps it (nor expat and the
// rest it brings). The functions used, found once; none when the library is
// missing, and then no new face is found.
struct FontconfigCalls {
  decltype(&FcInit) init = nullptr;
  decltype(&FcConfigGetCurrent) configGetCurrent = nullptr;
  decltype(&FcConfigAppFontAddFile) configAppFontAddFile = nullptr;
  decltype(&FcConfigSubstitute) configSubstitute = nullptr;
  decltype(&FcDefaultSubstitute) defaultSubstitute = nullptr;
  decltype(&FcFontMatch) fontMatch = nullptr;
  decltype(&FcPatternCreate) patternCreate = nullptr;
  decltype(&FcPatternDestroy) patternDestroy = nullptr;
  decltype(&FcPatternAddString) patternAddString = nullptr;
  decltype(&FcPatternAddInteger) patternAddInteger = nullptr;
  decltype(&FcPatternAddBool) patternAddBool = nullptr;
  decltype(&FcPatternGetString) patternGetString = nullptr;
  decltype(&FcPatternGetInteger) patternGetInteger = nullptr;
};

bool bindCalls(void* l, FontconfigCalls& c) {
  return lateSymbol(l, "FcInit", c.init) && lateSymbol(l, "FcConfigGetCurrent", c.configGetCurrent) &&
         lateSymbol(l, "FcConfigAppFontAddFile", c.configAppFontAddFile) &&
         lateSymbol(l, "FcConfigSubstitute", c.configSubstitute) &&
         lateSymbol(l, "FcDefaultSubstitute", c.defaultSubstitute) && lateSymbol(l, "FcFontMatch", c.fontMatch) &&
         lateSymbol(l, "FcPatternCreate", c.patternCreate) && lateSymbol(l, "FcPatternDestroy", c.patternDestroy) &&
         lateSymbol(l, "FcPatternAddString", c.patternAddString) &&
         lateSymbol(l, "FcPatternAddInteger", c.patternAddInteger) &&
         lateSymbol(l, "FcPatternAddBool", c.patternAddBool) &&
         lateSymbol(l, "FcPatternGetString", c.patternGetString) &&
         lateSymbol(l, "FcPatternGetInteger", c.patternGetInteger);
}

// The soname of fontconfig 2.x.
const FontconfigCalls* fontconfig() { return lateCalls<FontconfigCalls>("libfontconfig.so.1", bindCalls); }

FcConfig* fontConfig(const FontconfigCalls& fc) {
  static FcConfig* config = [&fc] {
    fc.init();
    FcConfig* c = fc.configGetCurrent();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kDeviceFontDir, ec)) {
      auto ext = entry.path().extension().string();
      if (ext == ".ttf" || ext == ".TTF")
        fc.configAppFontAddFile(c, reinterpret_cast<const FcChar8*>(entry.path().c_str()));
    }
    return c;
  }();
  return config;
}

FT_Library freeType() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    FT_Init_FreeType(&l);
    return l;
  }();
  return library;
}

using Match = FaceMatch;

bool matchFace(const std::string& family, bool bold, bool italic, Match& out) {
  const FontconfigCalls* fc = fontconfig();
  if (!fc) return false;
  FcPattern* pattern = fc->patternCreate();
  fc->patternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  fc->patternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  fc->patternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  fc->patternAddBool(pattern, FC_SCALABLE, FcTrue);
  fc->configSubstitute(fontConfig(*fc), pattern, FcMatchPattern);
  fc->defaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = fc->fontMatch(fontConfig(*fc), pattern, &result);
  fc->patternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  FcChar8* name = nullptr;
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  bool ok = fc->patternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (ok) {
    out.file = reinterpret_cast<const char*>(file);
    fc->patternGetInteger(match, FC_INDEX, 0, &out.index);
    if (fc->patternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
      out.family = reinterpret_cast<const char*>(name);
    fc->patternGetInteger(match, FC_WEIGHT, 0, &weight);
    fc->patternGetInteger(match, FC_SLANT, 0, &slant);
    out.bold = weight >= FC_WEIGHT_DEMIBOLD;
    out.italic = slant != FC_SLANT_ROMAN;
  }
  fc->patternDestroy(match);
  return ok;
}

// What fontconfig answered earlier starts, read once per process.
FontMatchCache& matchCache() {
  static FontMatchCache cache = FontMatchCache::load(fontMatchCachePath(), hostFontStamp());
  return cache;
}

// The face for a request: the kept match when its file still opens, else
// fontconfig's answer, which is kept for the next start.
bool openMatchedFace(const std::string& family, bool bold, bool italic, Match& match, FT_Face& face) {
  if (const Match* kept = matchCache().find(family, bold, italic)) {
    match = *kept;
    if (FT_New_Face(freeType(), match.file.c_str(), match.index, &face) == 0) return true;
    matchCache().remove(family, bold, italic);
  }
  if (!matchFace(family, bold, italic, match) || FT_New_Face(freeType(), match.file.c_str(), match.index, &face) != 0)
    return false;
  matchCache().add(family, bold, italic, match);
  matchCache().save(fontMatchCachePath());
  return true;
}

// fonts-wine's Tahoma Bold carries the regular face's outlines with bold
// advances: its strokes come out as thin as the regular face's.
bool regularOutlines(const Match& match) {
  return match.file.rfind(kDeviceFontDir, 0) == 0 && match.family == "Tahoma";
}

LONG scaled(long fontUnits, int ppem, int unitsPerEm) {
  return static_cast<LONG>(std::lround(static_cast<double>(fontUnits) * ppem / unitsPerEm));
}

// How FreeTypeFace::render turns an outline into coverage: a change there
// must change this, or kept glyphs drawn the old way would be read back.
constexpr int kGlyphRendering = 1;

// What a face's glyphs depend on: its file as it is now, the FreeType that
// renders it, and how it is drawn. Empty when the file cannot be looked at.
std::string glyphKey(const Match& match, int ppem, bool embolden, bool thicken, bool slant) {
  struct stat info;
  if (::stat(match.file.c_str(), &info) != 0) return {};
  FT_Int major = 0, minor = 0, patch = 0;
  FT_Library_Version(freeType(), &major, &minor, &patch);
  return "rendering " + std::to_string(kGlyphRendering) + "|freetype " + std::to_string(major) + '.' +
         std::to_string(minor) + '.' + std::to_string(patch) + '|' + match.file + '|' + std::to_string(match.index) +
         '|' + std::to_string(info.st_size) + '|' + std::to_string(info.st_mtim.tv_sec) + '.' +
         std::to_string(info.st_mtim.tv_nsec) + '|' + std::to_string(ppem) + '|' + (embolden ? 'e' : '-') +
         (thicken ? 't' : '-') + (slant ? 's' : '-');
}

class FreeTypeFace final : public FontFace {
 public:
  FreeTypeFace(FT_Face face, const LOGFONTW& lf, const Match& match) : m_face(face) {
    m_family = wideOf(match.family.c_str());
    m_emboldenAll = lf.lfWeight >= 600 && !match.bold;
    m_thickenStrokes = lf.lfWeight >= 600 && match.bold && regularOutlines(match);
    m_slantAll = lf.lfItalic && !match.italic;
    setSize(lf);
    m_glyphKey = glyphKey(match, m_ppem, m_emboldenAll, m_thickenStrokes, m_slantAll);
    if (!m_glyphKey.empty()) m_kept = KeptGlyphs::load(m_glyphFolder, m_glyphKey);
    fillMetrics(lf);
  }
  // Glyphs rendered in this run are kept for the next one, with those kept before.
  ~FreeTypeFace() override {
    if (!m_glyphKey.empty() && m_rendered) {
      m_kept.addTo(m_glyphs);
      keepGlyphs(m_glyphFolder, m_glyphKey, m_glyphs);
    }
    FT_Done_Face(m_face);
  }

  const Glyph& glyph(char32_t c) override {
    auto it = m_glyphs.find(c);
    if (it != m_glyphs.end()) return it->second;
    Glyph kept;
    if (m_kept.find(c, kept)) return m_glyphs.emplace(c, std::move(kept)).first->second;
    m_rendered = true;
    return m_glyphs.emplace(c, render(c)).first->second;
  }

 private:
  void setSize(const LOGFONTW& lf) {
    int unitsPerEm = m_face->units_per_EM ? m_face->units_per_EM : 2048;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
    int ppem = kDefaultPixelHeight;
    if (lf.lfHeight < 0) {
      ppem = -lf.lfHeight;
    } else if (lf.lfHeight > 0) {
      // A positive height is the cell: ascent plus descent.
      long cell = os2 && (os2->usWinAscent + os2->usWinDescent) ? os2->usWinAscent + os2->usWinDescent
                                                                : m_face->ascender - m_face->descender;
      ppem = static_cast<int>(std::lround(static_cast<double>(lf.lfHeight) * unitsPerEm / std::max(cell, 1l)));
    }
    m_ppem = std::clamp(ppem, 1, kMaxPixelHeight);
    FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(m_ppem));
  }

  void fillMetrics(const LOGFONTW& lf) {
    int unitsPerEm = m_face->units_per_EM ? m_face->units_per_EM : 2048;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
    TEXTMETRICW& tm = m_metrics;
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
      tm.tmAscent = scaled(os2->usWinAscent, m_ppem, unitsPerEm);
      tm.tmDescent = scaled(os2->usWinDescent, m_ppem, unitsPerEm);
    } else {
      tm.tmAscent = static_cast<LONG>((m_face->size->metrics.ascender + 63) >> 6);
      tm.tmDescent = static_cast<LONG>((-m_face->size->metrics.descender + 63) >> 6);
    }
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - m_ppem);
    tm.tmExternalLeading = 0;
    tm.tmAveCharWidth =
        os2 && os2->xAvgCharWidth > 0 ? scaled(os2->xAvgCharWidth, m_ppem, unitsPerEm) : glyph(U'x').advance;
    tm.tmMaxCharWidth = static_cast<LONG>((m_face->size->metrics.max_advance + 63) >> 6);
    tm.tmWeight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = u'?';
    tm.tmBreakChar = u' ';
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    tm.tmPitchAndFamily = lf.lfPitchAndFamily;
    tm.tmCharSet = lf.lfCharSet;
  }

  Glyph render(char32_t c) {
    Glyph g;
    FT_UInt index = FT_Get_Char_Index(m_face, c);
    if (FT_Load_Glyph(m_face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return g;
    FT_GlyphSlot slot = m_face->glyph;
    if (m_emboldenAll) FT_GlyphSlot_Embolden(slot);
    // One pixel more per vertical stroke, within the bold advances the face already has.
    if (m_thickenStrokes && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_Outline_EmboldenXY(&slot->outline, 64, 0);
    if (m_slantAll) FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.coverage.resize(static_cast<size_t>(g.width) * g.height);
    for (int y = 0; y < g.height; ++y) {
      const unsigned char* src = bm.buffer + static_cast<long>(y) * bm.pitch;
      for (int x = 0; x < g.width; ++x) {
        std::uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0) : src[x];
        g.coverage[static_cast<size_t>(y) * g.width + x] = v;
      }
    }
    return g;
  }

  FT_Face m_face;
  int m_ppem = kDefaultPixelHeight;
  bool m_emboldenAll = false;
  bool m_thickenStrokes = false;
  bool m_slantAll = false;
  // Faces go with the statics that hold them, at exit: the folder is the
  // face's own, never another static that may have gone first.
  const std::string m_glyphFolder = hostCacheFolder("glyphs");
  std::string m_glyphKey;
  GlyphMap m_glyphs;        // asked for in this run
  KeptGlyphs m_kept;        // from the host's cache
  bool m_rendered = false;  // some glyph was not kept and had to be rendered
};

// Without any face at all text is measured and drawn as hollow boxes, so that
// layout still works.
class BoxFace final : public FontFace {
 public:
  explicit BoxFace(const LOGFONTW& lf) {
    int ppem = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight > 0 ? lf.lfHeight : kDefaultPixelHeight;
    ppem = std::clamp(ppem, 1, kMaxPixelHeight);
    m_metrics.tmAscent = ppem * 4 / 5;
    m_metrics.tmDescent = ppem - m_metrics.tmAscent;
    m_metrics.tmHeight = ppem;
    m_metrics.tmAveCharWidth = m_metrics.tmMaxCharWidth = std::max(1, ppem / 2);
    m_metrics.tmWeight = FW_NORMAL;
    m_metrics.tmDigitizedAspectX = m_metrics.tmDigitizedAspectY = 96;
    m_box.advance = std::max(1, ppem / 2);
    m_box.width = std::max(1, m_box.advance - 1);
    m_box.height = m_metrics.tmAscent;
    m_box.top = m_metrics.tmAscent;
    m_box.coverage.assign(static_cast<size_t>(m_box.width) * m_box.height, 0);
    for (int y = 0; y < m_box.height; ++y)
      for (int x = 0; x < m_box.width; ++x)
        if (x == 0 || y == 0 || x == m_box.width - 1 || y == m_box.height - 1)
          m_box.coverage[static_cast<size_t>(y) * m_box.width + x] = 255;
    m_space = m_box;
    m_space.coverage.assign(m_space.coverage.size(), 0);
  }
  const Glyph& glyph(char32_t c) override { return c == U' ' ? m_space : m_box; }

 private:
  Glyph m_box;
  Glyph m_space;
};

}  // namespace

std::shared_ptr<FontFace> faceFor(const LOGFONTW& lf) {
  static std::map<std::string, std::shared_ptr<FontFace>> cache;
  bool bold = lf.lfWeight >= 600;
  bool italic = lf.lfItalic != 0;
  std::string family = familyAsked(lf);
  std::string key = family + '|' + std::to_string(lf.lfHeight) + '|' + (bold ? 'b' : '-') + (italic ? 'i' : '-');
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;

  std::shared_ptr<FontFace> face;
  Match match;
  FT_Face ftFace = nullptr;
  if (freeType() && openMatchedFace(family, bold, italic, match, ftFace)) {
    face = std::make_shared<FreeTypeFace>(ftFace, lf, match);
  } else {
    face = std::make_shared<BoxFace>(lf);
  }
  cache.emplace(key, face);
  return face;
}

}  // namespace gdi
