// Replays the fuzzers' seed corpora through their entry points, so that the
// normal build keeps every seed passing (an entry point aborts on a fault).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzzentries.h"

namespace {

using Entry = int (*)(const std::uint8_t*, std::size_t);

size_t replayCorpus(const char* name, Entry entry) {
  std::filesystem::path folder = std::filesystem::path(std::getenv("ORVEL_SOURCE_DIR")) / "fuzz" / "corpus" / name;
  size_t count = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(file.path().string());
    std::ifstream in(file.path(), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(entry(bytes.data(), bytes.size()), 0);
    ++count;
  }
  return count;
}

TEST(FuzzCorpus, SeedsPassThroughEveryEntryPoint) {
  const std::pair<const char*, Entry> kTargets[] = {
      {"declaration", fuzzDeclarationParser},
      {"colour", fuzzColourReader},
      {"movie", fuzzMovieLoader},
      {"skin", fuzzSkinLoader},
      {"action", fuzzActionBlock},
      {"html", fuzzHtmlViewer},
      {"keymap", fuzzKeyMapText},
      {"playlist", fuzzPlaylistFile},
      {"registry", fuzzRegistryFile},
      {"movieheader", fuzzMovieHeader},
      {"skinpackage", fuzzSkinPackage},
      {"copydata", fuzzCopyData},
  };
  ASSERT_NE(std::getenv("ORVEL_SOURCE_DIR"), nullptr);
  for (const auto& [name, entry] : kTargets) {
    SCOPED_TRACE(name);
    EXPECT_GT(replayCorpus(name, entry), 0u);
  }
}

TEST(FuzzCorpus, EmptyAndOddInputsPass) {
  const std::uint8_t kBom[] = {0xFF, 0xFE, 0x00, 0xD8, ':', 0};
  for (Entry entry :
       {fuzzDeclarationParser, fuzzColourReader, fuzzMovieLoader, fuzzSkinLoader, fuzzActionBlock, fuzzHtmlViewer,
        fuzzKeyMapText, fuzzPlaylistFile, fuzzRegistryFile, fuzzMovieHeader, fuzzSkinPackage}) {
    EXPECT_EQ(entry(nullptr, 0), 0);
    EXPECT_EQ(entry(kBom, sizeof kBom), 0);
  }
}

}  // namespace
