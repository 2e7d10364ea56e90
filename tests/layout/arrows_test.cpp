// Every #include of the source tree runs along an arrow of the folder map:
// a folder includes only from the folders its row names.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One row per folder: the folders its sources may include from. A new folder
// gets a row; a new arrow is a word added to its row.
struct FolderArrows {
  std::string_view folder;
  std::string_view uses;
};

constexpr FolderArrows kArrows[] = {
    {"app",
     "base xml dom render playlist flashhost resources ui platform/core platform/gdi platform/shell platform/commctrl "
     "platform/gx platform/image platform/ole platform/display platform/htmlview"},
    {"setup", "app platform/core platform/installer"},
    {"resources", "platform/core platform/commctrl"},
    {"playlist", "base xml resources ui platform/core platform/gdi platform/shell platform/commctrl"},
    {"ui", "base platform/core platform/shell platform/commctrl"},
    {"flashhost", "base platform/core platform/gdi platform/ole"},
    {"render", "base xml dom style platform/core platform/gdi platform/image"},
    {"style", "base dom"},
    {"dom", "base xml platform/core"},
    {"xml", "base platform/core"},
    {"base", "platform/core"},
    {"platform/flash/server",
     "platform/flash platform/core platform/gdi platform/ole platform/image platform/shell platform/commctrl"},
    {"platform/flash", "platform/core platform/gdi platform/image platform/audio"},
    {"platform/htmlview/browser",
     "platform/htmlview platform/core platform/gdi platform/commctrl platform/shell platform/image platform/display"},
    {"platform/htmlview", "platform/core platform/gdi platform/commctrl"},
    {"platform/shell", "platform/core platform/gdi platform/commctrl"},
    {"platform/gx", "platform/core platform/shell"},
    {"platform/commctrl", "platform/core platform/gdi platform/display"},
    {"platform/display", "platform/core platform/gdi platform/image platform/audio"},
    {"platform/audio", "platform/core"},
    {"platform/image", "platform/core platform/gdi"},
    {"platform/installer", "platform/core"},
    {"platform/ole", "platform/core"},
    {"platform/gdi", "platform/core"},
    {"platform/core", ""},
    {"tools/device", "platform/core platform/installer platform/flash/server"},
    {"tools/skinrender", "render platform/core platform/gdi platform/image"},
    {"tools/skincheck", "app render dom style xml base platform/core platform/gdi platform/image platform/display"},
    {"tools/mkswf", "tools/swfwriter"},
    {"tools/swfrender", "platform/flash"},
    {"tools/swfwriter", "platform/flash"},
};

// Folders whose sources may include anything: they test or measure the rest.
constexpr std::string_view kUnchecked[] = {"tests", "bench", "fuzz"};

std::vector<std::string> words(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

bool isUnder(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() && path.substr(0, folder.size()) == folder && path[folder.size()] == '/';
}

// The row whose folder holds `path` most closely, or null.
const FolderArrows* rowOf(std::string_view path) {
  const FolderArrows* best = nullptr;
  for (const FolderArrows& row : kArrows)
    if (isUnder(path, row.folder) && (!best || row.folder.size() > best->folder.size())) best = &row;
  return best;
}

bool mayUse(const FolderArrows& from, std::string_view to) {
  if (from.folder == to) return true;
  for (const std::string& word : words(from.uses))
    if (word == to) return true;
  return false;
}

bool isSource(const fs::path& path) { return path.extension() == ".cpp" || path.extension() == ".h"; }

bool isChecked(std::string_view relative) {
  if (relative.starts_with("build") || relative.starts_with(".")) return false;
  for (std::string_view folder : kUnchecked)
    if (isUnder(relative, folder)) return false;
  return true;
}

// What a wrong include looks like in the failure, so the author can mend it.
std::vector<std::string> wrongIncludes(const fs::path& root) {
  static const std::regex include(R"(^\s*#\s*include\s*"([^"]+/[^"]+)\")");
  std::vector<std::string> wrong;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    std::string relative = fs::relative(it->path(), root).generic_string();
    if (it->is_directory() && !isChecked(relative)) {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file() || !isSource(it->path()) || !isChecked(relative)) continue;
    const FolderArrows* from = rowOf(relative);
    if (!from) {
      wrong.push_back(relative + ": its folder has no row in the arrow table");
      continue;
    }
    std::ifstream in(it->path());
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
      ++lineNumber;
      std::smatch match;
      if (!std::regex_search(line, match, include)) continue;
      std::string target = match[1];
      const FolderArrows* to = rowOf(target);
      if (!to) {
        if (fs::exists(root / target)) wrong.push_back(relative + ": \"" + target + "\" is in a folder with no row");
        continue;
      }
      if (!mayUse(*from, to->folder))
        wrong.push_back(relative + ":" + std::to_string(lineNumber) + " includes \"" + target +
                        "\": " + std::string(from->folder) + " -> " + std::string(to->folder) +
                        " is not an arrow (it may use: " + std::string(from->uses) + ")");
    }
  }
  return wrong;
}

// Depth-first search for a folder that reaches itself again.
bool reachesItself(std::string_view start, std::string_view folder, std::set<std::string_view>& seen) {
  for (const FolderArrows& row : kArrows) {
    if (row.folder != folder) continue;
    for (const std::string& word : words(row.uses)) {
      if (word == start) return true;
      auto known =
          std::find_if(std::begin(kArrows), std::end(kArrows), [&](const FolderArrows& r) { return r.folder == word; });
      if (known != std::end(kArrows) && seen.insert(known->folder).second && reachesItself(start, known->folder, seen))
        return true;
    }
  }
  return false;
}

}  // namespace

TEST(FolderArrows, EveryIncludeRunsAlongAnArrow) {
  std::vector<std::string> wrong = wrongIncludes(ORVEL_SOURCE_ROOT);
  std::string report;
  for (const std::string& line : wrong) report += "\n  " + line;
  EXPECT_TRUE(wrong.empty()) << "includes against the folder map:" << report;
}

TEST(FolderArrows, PointOneWayAndNameKnownFolders) {
  std::set<std::string_view> folders;
  for (const FolderArrows& row : kArrows) EXPECT_TRUE(folders.insert(row.folder).second) << row.folder;
  for (const FolderArrows& row : kArrows) {
    SCOPED_TRACE(row.folder);
    for (const std::string& word : words(row.uses)) EXPECT_TRUE(folders.count(word)) << word << " has no row";
    std::set<std::string_view> seen;
    EXPECT_FALSE(reachesItself(row.folder, row.folder, seen)) << "the arrows from " << row.folder << " come back";
  }
}
