#include "platform/gdi/fontmatchcache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace gdi {
namespace {

namespace fs = std::filesystem;

constexpr char kStampField[] = "stamp";
constexpr std::size_t kFields = 7;

// Where fontconfig reads its configuration. Its own files (fonts.conf,
// local.conf) are edited in place, so each counts; the rules of its
// subfolders (conf.d) are links added and removed, which change the
// subfolder, as fonts added or removed change theirs. Like fontconfig's own
// caches, the stamp goes by folders: a rule file edited in place through its
// link is not seen.
constexpr const char* kConfigFolders[] = {"/etc/fonts"};
// Where fonts live: a font added or removed changes its folder.
constexpr const char* kFontFolders[] = {"/usr/share/fonts", "/usr/local/share/fonts", "/usr/share/wine/fonts"};
constexpr const char* kFontVariables[] = {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"};

std::string envOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

std::string homeFolder(const char* below) {
  std::string home = envOr("HOME", "");
  return home.empty() ? home : home + below;
}

void stampEntry(std::string& stamp, const std::string& path, const struct stat& info) {
  stamp += path + '=' + std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec) + ';';
}

// How far a stamp looks into a folder: a configuration folder's own entries,
// files and subfolders alike; a font folder's subfolders, all the way down.
enum class Walk { ConfigFolder, FontFolder };

// The entries of the folder at `path` (open as `folder`), as `walk` says,
// each subfolder stamped before its own entries. Names are looked up from
// their folder's descriptor, one name each instead of a whole path.
void stampEntries(std::string& stamp, DIR* folder, const std::string& path, Walk walk) {
  const int at = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    const unsigned char type = entry->d_type;
    if (walk == Walk::FontFolder && type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN) continue;
    struct stat info;
    // A symbolic link is stamped by what it points at, and never walked into.
    const bool realFolder =
        type == DT_DIR ||
        (type == DT_UNKNOWN && fstatat(at, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode));
    if (fstatat(at, entry->d_name, &info, 0) != 0) continue;
    const std::string child = path + '/' + entry->d_name;
    if (walk == Walk::ConfigFolder || S_ISDIR(info.st_mode)) stampEntry(stamp, child, info);
    if (!realFolder || walk == Walk::ConfigFolder) continue;
    int inner = openat(at, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (inner < 0) continue;
    if (DIR* below = fdopendir(inner)) {
      stampEntries(stamp, below, child, walk);
      closedir(below);
    } else {
      close(inner);
    }
  }
}

// The folder itself and its entries as `walk` says.
void stampTree(std::string& stamp, const std::string& root, Walk walk) {
  struct stat info;
  if (root.empty() || stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
  stampEntry(stamp, root, info);
  if (DIR* folder = opendir(root.c_str())) {
    stampEntries(stamp, folder, root, walk);
    closedir(folder);
  }
}

std::string hex64(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
  return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

bool storable(const std::string& text) { return text.find_first_of("\t\n\r") == std::string::npos; }

bool readInt(const std::string& text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string FontMatchCache::keyOf(const std::string& family, bool bold, bool italic) {
  return family + '\t' + (bold ? 'b' : '-') + (italic ? 'i' : '-');
}

FontMatchCache FontMatchCache::load(const std::string& path, const std::string& stamp) {
  FontMatchCache cache;
  cache.m_stamp = stamp;
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line) || line != std::string(kStampField) + '\t' + stamp) return cache;
  while (std::getline(in, line)) {
    std::vector<std::string> f = splitTabs(line);
    FaceMatch match;
    if (f.size() != kFields || f[1].size() != 2 || f[2].empty() || !readInt(f[3], match.index)) continue;
    match.file = f[2];
    match.family = f[4];
    match.bold = f[5] == "1";
    match.italic = f[6] == "1";
    cache.m_matches[f[0] + '\t' + f[1]] = std::move(match);
  }
  return cache;
}

const FaceMatch* FontMatchCache::find(const std::string& family, bool bold, bool italic) const {
  auto it = m_matches.find(keyOf(family, bold, italic));
  return it == m_matches.end() ? nullptr : &it->second;
}

void FontMatchCache::add(const std::string& family, bool bold, bool italic, const FaceMatch& match) {
  if (storable(family) && storable(match.file) && storable(match.family) && !match.file.empty())
    m_matches[keyOf(family, bold, italic)] = match;
}

void FontMatchCache::remove(const std::string& family, bool bold, bool italic) {
  m_matches.erase(keyOf(family, bold, italic));
}

bool FontMatchCache::save(const std::string& path) const {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temporary = path + '.' + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << kStampField << '\t' << m_stamp << '\n';
    for (const auto& [key, match] : m_matches)
      out << key << '\t' << match.file << '\t' << match.index << '\t' << match.family << '\t' << match.bold << '\t'
          << match.italic << '\n';
    if (!out.flush()) {
      fs::remove(temporary, ec);
      return false;
    }
  }
  fs::rename(temporary, path, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

std::string hostFontStamp() {
  std::string stamp;
  for (const char* variable : kFontVariables) stamp += std::string(variable) + '=' + envOr(variable, "") + ';';
  for (const char* folder : kConfigFolders) stampTree(stamp, folder, Walk::ConfigFolder);
  stampTree(stamp, envOr("XDG_CONFIG_HOME", homeFolder("/.config")) + "/fontconfig", Walk::ConfigFolder);
  for (const char* folder : kFontFolders) stampTree(stamp, folder, Walk::FontFolder);
  stampTree(stamp, envOr("XDG_DATA_HOME", homeFolder("/.local/share")) + "/fonts", Walk::FontFolder);
  stampTree(stamp, homeFolder("/.fonts"), Walk::FontFolder);
  return hex64(stamp);
}

std::string fontMatchCachePath() {
  std::string folder = envOr("XDG_CACHE_HOME", homeFolder("/.cache"));
  return folder.empty() ? folder : folder + "/OrvelFlash/font-matches";
}

}  // namespace gdi
