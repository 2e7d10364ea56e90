// The kept glyphs: read back whole for the key they were written under, and
// nothing at all from a file of another key or one that is damaged.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gdi/glyphcache.h"
#include "tests/support/tempdir.h"

namespace {

gdi::GlyphMap sampleGlyphs() {
  gdi::GlyphMap glyphs;
  glyphs[U'A'] = gdi::Glyph{1, 9, 3, 2, 7, {0, 128, 255, 10, 20, 30}};
  glyphs[U' '] = gdi::Glyph{0, 0, 0, 0, 3, {}};
  glyphs[U'\U0001F600'] = gdi::Glyph{-1, 10, 1, 1, 12, {200}};
  return glyphs;
}

bool sameGlyphs(const gdi::GlyphMap& a, const gdi::GlyphMap& b) {
  if (a.size() != b.size()) return false;
  for (const auto& [code, g] : a) {
    auto it = b.find(code);
    if (it == b.end()) return false;
    const gdi::Glyph& h = it->second;
    if (g.left != h.left || g.top != h.top || g.width != h.width || g.height != h.height || g.advance != h.advance ||
        g.coverage != h.coverage)
      return false;
  }
  return true;
}

TEST(GlyphCache, ReadsBackOnlyWhatItsKeyWroteWhole) {
  TempDir dir;
  const std::string folder = (dir / "glyphs").string();
  ASSERT_TRUE(gdi::keepGlyphs(folder, "tahoma|11", sampleGlyphs()));
  EXPECT_TRUE(sameGlyphs(gdi::loadKeptGlyphs(folder, "tahoma|11"), sampleGlyphs()));
  EXPECT_TRUE(gdi::loadKeptGlyphs(folder, "tahoma|12").empty()) << "another size";

  const std::filesystem::path file = std::filesystem::directory_iterator(folder)->path();
  const std::string whole = readHostFile(file);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"truncated", whole.substr(0, whole.size() - 1)},
      {"trailing bytes", whole + "x"},
      {"empty", ""},
      {"the key's text changed",
       [&] {
         std::string changed = whole;
         changed[changed.find("tahoma")] = 'T';
         return changed;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeHostFile(file, c.bytes);
    EXPECT_TRUE(gdi::loadKeptGlyphs(folder, "tahoma|11").empty());
  }
  EXPECT_FALSE(gdi::keepGlyphs("", "tahoma|11", sampleGlyphs())) << "no cache folder";
}

}  // namespace
