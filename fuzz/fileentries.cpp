// The readers of files a user may bring from anywhere, each fed through the
// scratch device the way the player meets them.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "app/movieheader.h"
#include "app/skinpackages.h"
#include "fuzz/fuzzentries.h"
#include "fuzz/scratchdevice.h"
#include "platform/core/device.h"
#include "platform/core/registry.h"
#include "playlist/playlist.h"

namespace fs = std::filesystem;

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool holdsCaseVariants(const std::vector<WideString>& entries) {
  for (size_t i = 0; i < entries.size(); ++i)
    for (size_t j = i + 1; j < entries.size(); ++j)
      if (equalsIgnoreCase(entries[i], entries[j])) return true;
  return false;
}

// Every path below `folder` with its size, links and folders marked.
std::set<std::pair<std::string, std::uintmax_t>> listing(const fs::path& folder) {
  std::set<std::pair<std::string, std::uintmax_t>> found;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    std::uintmax_t size = it->is_symlink() ? 1 : it->is_regular_file() ? it->file_size() : 0;
    found.emplace(it->path().string(), size);
  }
  return found;
}

}  // namespace

int fuzzPlaylistFile(const std::uint8_t* data, std::size_t size) {
  const fs::path file = scratchHost("My Documents/fuzz.bfl");
  writeScratchFile(file, data, size);
  std::unique_ptr<Playlist> playlist = Playlist::read(u"\\My Documents\\fuzz.bfl");
  if (!playlist) return 0;
  require(playlist->name() == u"fuzz" && !playlist->isDirty());
  require(!holdsCaseVariants(playlist->entries()));
  require(std::none_of(playlist->entries().begin(), playlist->entries().end(),
                       [](const WideString& entry) { return entry.empty(); }));
  // Whatever was read is saved and read back entry for entry: a playlist
  // must never lose a movie by being saved.
  playlist->rename(u"again");
  playlist->setDirty(true);
  require(playlist->write(u"\\My Documents"));
  std::unique_ptr<Playlist> again = Playlist::read(u"\\My Documents\\again.bfl");
  require(again && again->entries() == playlist->entries());
  return 0;
}

int fuzzRegistryFile(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegTree tree;
  std::string reason;
  const bool parsed = parseRegistry(text, tree, reason);
  if (parsed) {
    // The text form is the device's memory: what it wrote reads back the same.
    const std::string formatted = formatRegistry(tree);
    RegTree again;
    require(parseRegistry(formatted, again, reason) && formatRegistry(again) == formatted);
  }
  // The store meets the same bytes as its file: a file it cannot read is
  // moved aside whole, never deleted, and a fresh registry takes its place.
  const fs::path folder = scratchHost("registry-store");
  fs::remove_all(folder);
  writeScratchFile(folder / "registry.txt", data, size);
  {
    RegistryStore store(folder);
    require(store.read([](const RegTree&) { return LONG{0}; }) == 0);
  }
  std::set<std::string> kept;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "registry.txt" && entry.path().filename().string().rfind("registry.txt.", 0) == 0)
      kept.insert(readScratchFile(entry.path()));
  if (parsed) {
    require(kept.empty() && readScratchFile(folder / "registry.txt") == text);
  } else {
    require(kept.size() == 1 && *kept.begin() == text);
  }
  return 0;
}

int fuzzMovieHeader(const std::uint8_t* data, std::size_t size) {
  writeScratchFile(scratchHost("My Documents/fuzz.swf"), data, size);
  MovieHeader header;
  header.frameCount = 0x5A5A;
  if (!readMovieHeader(u"\\My Documents\\fuzz.swf", header)) {
    require(header.frameCount == 0x5A5A);  // untouched on failure
    return 0;
  }
  require(size >= 3 && (data[0] == 'F' || data[0] == 'C') && data[1] == 'W' && data[2] == 'S');
  require(header.compressed == (data[0] == 'C') && header.version == data[3]);
  const MovieFacts facts = movieFactsOf(header);
  for (float zoom : {0.0f, 1.0f, 2.5f}) fullScreenOffsets(240, 320, facts.width, facts.height, zoom);
  return 0;
}

int fuzzSkinPackage(const std::uint8_t* data, std::size_t size) {
  // Small bounds keep each run quick; what matters is that they hold.
  constexpr ExtractLimits kLimits{1u << 20, 2u << 20, 64};
  constexpr std::uintmax_t kFoldersPerName = 131;  // a 260-byte name of one-letter parts
  const fs::path skins = scratchHost("My Documents/OrvelFlash/skins");
  fs::remove_all(skins);
  fs::create_directories(skins);
  writeScratchFile(scratchHost("My Documents/fuzz.zskn"), data, size);
  const fs::path root = scratchDevice().root();
  const auto before = listing(root);
  extractSkinPackage(u"\\My Documents\\fuzz.zskn", u"\\My Documents\\OrvelFlash\\skins", kLimits);
  std::uintmax_t written = 0, paths = 0;
  for (const auto& [path, bytes] : listing(skins)) {
    written += bytes;
    ++paths;
  }
  require(written <= kLimits.packageBytes && paths <= kLimits.entries * kFoldersPerName);
  auto after = listing(root);
  std::erase_if(after, [&](const auto& item) { return item.first.rfind(skins.string() + "/", 0) == 0; });
  require(after == before);
  return 0;
}
