// The skinrender tool, run as a process on skins in a host folder.

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/image/encoders.h"
#include "tests/support/tempdir.h"

namespace {

std::string skinrender() {
  const char* binary = std::getenv("ORVEL_BINARY_DIR");
  return std::string(binary ? binary : ".") + "/tools/skinrender/skinrender";
}

int run(const std::vector<std::string>& arguments) {
  std::string command = skinrender();
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  command += " 2>/dev/null";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 0x00RRGGBB pixels of a PNG file, rows from the top; empty when unreadable.
Picture readPng(const std::filesystem::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
    picture.pixels.push_back((std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2]);
  return picture;
}

int countOf(const Picture& picture, std::uint32_t colour) {
  int n = 0;
  for (std::uint32_t p : picture.pixels) n += p == colour;
  return n;
}

TEST(Skinrender, WritesTheViewWithThePicturesBesideTheSkin) {
  TempDir folder;
  Bytes gif = encodeGif(2, 2, {0x00FF00}, {0, 0, 0, 0}, -1);
  writeHostFile(folder / "skin/img/face.gif", std::string(gif.begin(), gif.end()));
  writeHostFile(folder / "skin/my skin.bskn",
                "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='100' height='50'>"
                "<rect width='100' height='50' fill='blue'/>"
                "<image x='10' y='10' width='20' height='10' xlink:href='img/face.gif'/></svg>");
  ASSERT_EQ(run({(folder / "skin/my skin.bskn").string(), (folder / "out.png").string()}), 0);
  Picture shown = readPng(folder / "out.png");
  EXPECT_EQ(shown.width, 100);
  EXPECT_EQ(shown.height, 50);
  EXPECT_EQ(countOf(shown, 0x00FF00), 200) << "the picture from the skin's folder";
  EXPECT_EQ(countOf(shown, 0x0000FF), 100 * 50 - 200);
}

TEST(Skinrender, BadArgumentsFailWithoutLeavingAFile) {
  TempDir folder;
  writeHostFile(folder / "ok.bskn", "<svg width='10' height='10'/>");
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"no output", {(folder / "ok.bskn").string()}},
      {"missing skin", {(folder / "missing.bskn").string(), (folder / "out.png").string()}},
      {"a folder for a skin", {folder.path().string(), (folder / "out.png").string()}},
      {"not a skin", {(folder / "ok.bskn").string(), (folder / "out.png").string(), "wide"}},
      {"zero size", {(folder / "ok.bskn").string(), (folder / "out.png").string(), "0x320"}},
      {"enormous size", {(folder / "ok.bskn").string(), (folder / "out.png").string(), "100000x100000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run(c.arguments), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));
  }
  writeHostFile(folder / "bad.bskn", "<svg><rect></svg>");
  EXPECT_EQ(run({(folder / "bad.bskn").string(), (folder / "out.png").string()}), 1) << "a skin that does not load";
  EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));
}

}  // namespace
