#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/image/pngwriter.h"
#include "tests/platform/display/png_reader.h"
#include "tests/support/tempdir.h"

namespace {

// Every byte value in every channel, rows that repeat and rows that differ by one pixel.
gdi::Surface colourful(int width, int height) {
  gdi::Surface s{width, height, 32, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint32_t i = static_cast<std::uint32_t>(y / 3 * width + x);
      s.pixels.push_back((i * 0x010203u + (x == y ? 0x80u : 0u)) & 0xFFFFFF);
    }
  return s;
}

gdi::Surface mono() { return gdi::Surface{3, 2, 1, {0, 1, 1, 1, 0, 0}}; }

std::vector<std::uint32_t> expectedOf(const gdi::Surface& s) {
  std::vector<std::uint32_t> out = s.pixels;
  if (s.mono())
    for (auto& p : out) p = p ? 0xFFFFFF : 0;
  return out;
}

TEST(SurfacePng, ReadsBackPixelExact) {
  struct Case {
    const char* name;
    gdi::Surface surface;
  };
  const Case cases[] = {
      {"one pixel", gdi::Surface{1, 1, 32, {0x123456}}},
      {"colourful 480x40", colourful(480, 40)},
      {"tall and narrow", colourful(2, 300)},
      {"one-bit as black and white", mono()},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto path = dir / (std::string(c.name) + ".png");
    ASSERT_TRUE(image::writeSurfacePng(c.surface, path.string()));
    PngPixels written;  // left empty when the file is no PNG
    readPng(path.string(), written);
    EXPECT_EQ(written.pixels, expectedOf(c.surface));
  }
}

TEST(SurfacePng, FailuresLeaveNoFile) {
  TempDir dir;
  struct Case {
    const char* name;
    gdi::Surface surface;
    std::filesystem::path path;
  };
  const Case cases[] = {
      {"empty surface", gdi::Surface{}, dir / "empty.png"},
      {"zero height", gdi::Surface{4, 0, 32, {}}, dir / "flat.png"},
      {"missing folder", colourful(4, 4), dir / "no such folder" / "x.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(image::writeSurfacePng(c.surface, c.path.string()));
    EXPECT_FALSE(std::filesystem::exists(c.path));
  }
}

}  // namespace
