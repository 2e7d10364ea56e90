#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/image/picturecache.h"
#include "tests/platform/image/encoders.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

// The entry files of a cache folder.
std::vector<fs::path> entries(const TempDir& folder) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder.path())) found.push_back(entry.path());
  return found;
}

}  // namespace

// A kept picture answers only for the very bytes it was decoded from, and
// an entry that does not read back whole is a miss, never a wrong picture.
TEST(PictureCache, AnswersOnlyForTheBytesItWasDecodedFrom) {
  TempDir folder;
  image::PictureCache cache(folder.path().string());
  Bytes first = encodeGif(4, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456}, {0, 1, 2, 3, 3, 2, 1, 0}, 3);
  Bytes second = first;
  second.back() ^= 1;
  RichImage decoded(first.data(), first.size());
  ASSERT_TRUE(decoded.Ok());
  ASSERT_TRUE(cache.keep(first, decoded.Data()));
  ASSERT_EQ(entries(folder).size(), 1u);
  const fs::path entry = entries(folder)[0];

  RichImageData kept;
  ASSERT_TRUE(cache.find(first, kept));
  EXPECT_EQ(kept.width, 4);
  EXPECT_EQ(kept.height, 2);
  EXPECT_EQ(kept.pixels, decoded.Pixels());
  EXPECT_TRUE(kept.hasTransparentColor);
  EXPECT_EQ(kept.transparentColor, decoded.GetTransparentColor());

  // Where `second` would be kept: the same name holding `first`'s entry must not answer for it.
  TempDir elsewhere;
  ASSERT_TRUE(image::PictureCache(elsewhere.path().string()).keep(second, decoded.Data()));
  const fs::path secondsName = folder.path() / entries(elsewhere)[0].filename();
  const std::string whole = readHostFile(entry);
  struct Case {
    const char* what;
    std::function<void()> change;
    const Bytes& asked;
  };
  const Case cases[] = {
      {"other bytes", [] {}, second},
      {"a name shared with other bytes of the same size", [&] { fs::copy_file(entry, secondsName); }, second},
      {"a truncated entry", [&] { writeHostFile(entry, whole.substr(0, whole.size() - 1)); }, first},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.change();
    RichImageData none;
    EXPECT_FALSE(cache.find(c.asked, none));
    EXPECT_TRUE(none.pixels.empty());
  }

  image::PictureCache nowhere{std::string()};
  EXPECT_FALSE(nowhere.keep(first, decoded.Data()));
  EXPECT_FALSE(nowhere.find(first, kept));
}

TEST(PictureCache, KeepsItsNewestEntriesOnly) {
  TempDir folder;
  image::PictureCache cache(folder.path().string());
  Bytes bytes = encodeGif(1, 1, {0x102030}, {0}, -1);
  RichImage decoded(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded.Ok());
  Bytes newest;
  for (std::size_t i = 0; i < image::PictureCache::kMaxEntries + 3; ++i) {
    newest = bytes;
    newest.push_back(static_cast<unsigned char>(i));  // trailing bytes make another file of the same picture
    newest.push_back(static_cast<unsigned char>(i >> 8));
    ASSERT_TRUE(cache.keep(newest, decoded.Data()));
  }
  EXPECT_EQ(entries(folder).size(), image::PictureCache::kMaxEntries);
  RichImageData kept;
  EXPECT_TRUE(cache.find(newest, kept));
}
