// The kept font matches: read back only under the stamp they were written
// with, damaged lines skipped, and a request whose text the file cannot hold
// never kept.

#include <gtest/gtest.h>

#include "platform/gdi/fontmatchcache.h"
#include "tests/support/tempdir.h"

namespace {

const gdi::FaceMatch kTahomaBold{"/fonts/tahomabd.ttf", 0, "Tahoma", true, false};

TEST(FontMatchCache, KeepsMatchesForTheirStampOnly) {
  TempDir dir;
  const std::string path = (dir / "cache" / "font-matches").string();
  gdi::FontMatchCache written = gdi::FontMatchCache::load(path, "s1");
  written.add("Tahoma", true, false, kTahomaBold);
  written.add("Odd\tName", false, false, kTahomaBold);
  ASSERT_TRUE(written.save(path));

  struct Case {
    const char* stamp;
    const char* family;
    bool bold;
    bool found;
  };
  const Case kCases[] = {
      {"s1", "Tahoma", true, true},      {"s1", "Tahoma", false, false},  // another weight
      {"s2", "Tahoma", true, false},     {"", "Tahoma", true, false},     // fonts changed since
      {"s1", "Odd\tName", false, false}, {"s1", "tahoma", true, false},   // not keepable; names exact
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.stamp) + " " + c.family);
    gdi::FontMatchCache read = gdi::FontMatchCache::load(path, c.stamp);
    const gdi::FaceMatch* match = read.find(c.family, c.bold, false);
    ASSERT_EQ(match != nullptr, c.found);
    if (!match) continue;
    EXPECT_EQ(match->file, kTahomaBold.file);
    EXPECT_EQ(match->family, "Tahoma");
    EXPECT_TRUE(match->bold);
    EXPECT_FALSE(match->italic);
  }
}

TEST(FontMatchCache, DamagedLinesAreSkipped) {
  TempDir dir;
  const std::filesystem::path path = dir / "font-matches";
  writeHostFile(path,
                "stamp\ts\n"
                "Arial\t--\t/fonts/arial.ttf\t0\tArial\t0\t0\n"
                "Short\t--\t/fonts/short.ttf\n"
                "Index\t--\t/fonts/index.ttf\tone\tIndex\t0\t0\n"
                "NoFile\t--\t\t0\tNoFile\t0\t0\n"
                "Flags\tbold\t/fonts/f.ttf\t0\tFlags\t0\t0\n");
  gdi::FontMatchCache read = gdi::FontMatchCache::load(path.string(), "s");
  EXPECT_NE(read.find("Arial", false, false), nullptr);
  for (const char* family : {"Short", "Index", "NoFile", "Flags"}) {
    SCOPED_TRACE(family);
    EXPECT_EQ(read.find(family, false, false), nullptr);
  }
  read.remove("Arial", false, false);
  EXPECT_EQ(read.find("Arial", false, false), nullptr);
}

}  // namespace
