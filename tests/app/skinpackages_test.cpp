#include "app/skinpackages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "app/settings.h"
#include "tests/support/testdevice.h"
#include "tests/support/zipwriter.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kDataFolder[] = u"\\My Documents\\OrvelFlash";
constexpr char kSkinsHost[] = "My Documents/OrvelFlash/skins";

std::vector<std::string> sortedNarrow(const std::vector<WideString>& paths) {
  std::vector<std::string> out;
  for (const auto& p : paths) out.push_back(toNarrowAscii(p));
  std::sort(out.begin(), out.end());
  return out;
}

// What a file holds: its bytes when small; a large file (the device's
// programs, tens of megabytes) by its size and a hash of all its bytes, read
// in one go, so that comparing whole devices stays cheap.
std::string fingerprintOf(const fs::path& file) {
  constexpr std::uintmax_t kSmall = 64 << 10;
  std::ifstream in(file, std::ios::binary);
  std::string bytes(fs::file_size(file), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (bytes.size() <= kSmall) return bytes;
  return "<" + std::to_string(bytes.size()) + " bytes #" + std::to_string(std::hash<std::string>{}(bytes)) + ">";
}

// Every file and folder below `folder` (relative, "/" between names, in lower
// case) with the content of files.
std::map<std::string, std::string> treeOf(const fs::path& folder,
                                          std::string (*contentOf)(const fs::path&) = readHostFile) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(folder)) return tree;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    std::string relative = fs::relative(it->path(), folder).generic_string();
    std::transform(relative.begin(), relative.end(), relative.begin(), ::tolower);
    tree[relative] = it->is_symlink() ? "<link>" : it->is_directory() ? "<folder>" : contentOf(it->path());
  }
  return tree;
}

// The whole host folder of the test device and its surroundings, the skins
// folder left out.
std::map<std::string, std::string> everythingBut(const TestDevice& device, const fs::path& skins) {
  std::map<std::string, std::string> tree;
  std::string skip = fs::relative(skins, device.outside("")).generic_string();
  std::transform(skip.begin(), skip.end(), skip.begin(), ::tolower);
  for (const auto& [path, content] : treeOf(device.outside(""), fingerprintOf))
    if (path != skip && path.rfind(skip + "/", 0) != 0 && path.find(".orvel") == std::string::npos)
      tree[path] = content;
  return tree;
}

// Damage done to a written package. The end record is the last 22 bytes
// (no comment): entry counts at 8 and 10, directory size at 12, offset at 16.
constexpr size_t kEndRecord = 22;

void nulInName(std::string& bytes) {
  for (size_t at = bytes.find("a#b.txt"); at != std::string::npos; at = bytes.find("a#b.txt", at)) bytes[at + 1] = 0;
}
void cutCentralDirectory(std::string& bytes) { bytes.resize(bytes.size() - kEndRecord - 10); }
void countOneMore(std::string& bytes) {
  size_t end = bytes.size() - kEndRecord;
  ++bytes[end + 8];
  ++bytes[end + 10];
}
void directoryPastTheEnd(std::string& bytes) { bytes[bytes.size() - kEndRecord + 19] = '\x7f'; }

Settings settingsFor() {
  Settings s;
  s.dataFolder = kDataFolder;
  return s;
}

}  // namespace

TEST(FindFiles, WalksToTheDepthAndMatchesTheLastExtension) {
  TestDevice device;
  for (const char* file : {"a.zskn", "NEW.ZSKN", "skin.zskn.bak", "zskn", "L1/b.zskn", "L1/L2/L3/L4/L5/L6/L7/deep.zskn",
                           "L1/L2/L3/L4/L5/L6/L7/L8/deeper.zskn", "L1/notes.txt"})
    writeHostFile(device.host(file), "x");
  struct Case {
    const char16_t* folder;
    const char16_t* extension;
    int depth;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {u"\\", u".zskn", 8, {"\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\deep.zskn", "\\L1\\b.zskn", "\\NEW.ZSKN", "\\a.zskn"}},
      {u"\\",
       u".zskn",
       9,
       {"\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\deeper.zskn", "\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\deep.zskn", "\\L1\\b.zskn",
        "\\NEW.ZSKN", "\\a.zskn"}},
      {u"\\", u".zskn", 1, {"\\NEW.ZSKN", "\\a.zskn"}},
      {u"\\", u".zskn", 0, {}},
      {u"\\", u".zskn", -3, {}},
      {u"\\L1", u".ZSKN", 1, {"\\L1\\b.zskn"}},
      {u"\\L1\\", u".zskn", 1, {"\\L1\\b.zskn"}},      // no doubled separator
      {u"", u".zskn", 1, {"\\NEW.ZSKN", "\\a.zskn"}},  // "" lists "*.*" of the root, names as found
      {u"\\", u".bak", 1, {"\\skin.zskn.bak"}},
      {u"\\", u".txt", 2, {"\\L1\\notes.txt"}},
      {u"\\missing", u".zskn", 8, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toNarrowAscii(c.folder) + " " + toNarrowAscii(c.extension) + " " + std::to_string(c.depth));
    std::vector<std::string> found = sortedNarrow(findFiles(c.folder, c.extension, c.depth));
    std::vector<std::string> expected = c.found;
    if (c.folder[0] == 0)  // without a folder the names come back bare
      for (auto& e : expected) e.erase(0, 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
  }
}

// Links are followed only inside the device, the card is walked from "\",
// and each size is the size of what the name reaches.
TEST(FindFiles, FollowsLinksInsideTheDeviceAndReadsSizesOfWhatIsFound) {
  TestDevice device;
  writeHostFile(device.host("Temp/linked/far.swf"), "12345");
  writeHostFile(device.host("Temp/one.swf"), "123");
  writeHostFile(device.outside("outside/stolen.swf"), "1234567");
  writeHostFile(device.outside("card/Movies/card.swf"), "1234");
  fs::create_directories(device.host("Links"));
  fs::create_directory_symlink(device.host("Temp/linked"), device.host("Links/folder link"));
  fs::create_symlink(device.host("Temp/one.swf"), device.host("Links/file link.swf"));
  fs::create_directory_symlink(device.outside("outside"), device.host("Links/escape"));
  fs::create_symlink(device.outside("outside/stolen.swf"), device.host("Links/escape.swf"));
  fs::create_symlink(device.host("Temp/gone.swf"), device.host("Links/dangling.swf"));
  std::string error;
  ASSERT_TRUE(device.device().insertStorageCard(device.outside("card"), error));

  std::map<std::string, DWORD> found;
  for (const FoundFile& file : findFilesWithSizes(u"\\", u".swf", kScanDepth))
    found[toNarrowAscii(file.path)] = file.size;
  const std::map<std::string, DWORD> expected = {
      {"\\Links\\file link.swf", 3},
      {"\\Links\\folder link\\far.swf", 5},
      {"\\Storage Card\\Movies\\card.swf", 4},
      {"\\Temp\\linked\\far.swf", 5},
      {"\\Temp\\one.swf", 3},
  };
  EXPECT_EQ(found, expected);
  std::vector<std::string> names;
  for (const auto& [path, size] : expected) names.push_back(path);
  EXPECT_EQ(sortedNarrow(findFiles(u"\\", u".swf", kScanDepth)), names);
}

TEST(DefaultSkin, PicksTheLastDefaultByCharacterCodes) {
  struct Case {
    std::vector<std::string> packages;  // host paths; the package at index i holds "skin<i>.bskn"
    int chosen;                         // -1: none
  };
  const Case cases[] = {
      {{"A/default.zskn", "B/Default.ZSKN"}, 1},
      {{"a/default.zskn", "B/default.zskn"}, 0},  // "\B" sorts before "\a" by codes
      {{"x/zeta.zskn", "x/alpha.zskn"}, 1},       // no default: the first in order
      {{"x/default.zskn.bak", "x/other.zskn"}, 1},
      {{"x/mydefault.zskn", "y/z.zskn"}, 0},  // only the whole file name counts
      {{}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.packages.empty() ? "no package" : c.packages.front() + " ...");
    TestDevice device;
    for (size_t i = 0; i < c.packages.size(); ++i)
      ASSERT_TRUE(writeZip(device.host(c.packages[i]), {{"skin" + std::to_string(i) + ".bskn", "<svg/>"}}));
    writeHostFile(device.host(std::string(kSkinsHost) + "/old/stale.bskn"), "old");
    Settings s = settingsFor();
    installDefaultSkin(s);
    if (c.chosen < 0) {
      EXPECT_EQ(s.zipskin, u"");
      EXPECT_EQ(s.skin, u"");
    } else {
      std::string package = "\\" + c.packages[size_t(c.chosen)];
      std::replace(package.begin(), package.end(), '/', '\\');
      EXPECT_EQ(toNarrowAscii(s.zipskin), package);
      EXPECT_EQ(toNarrowAscii(s.skin), "\\My Documents\\OrvelFlash\\skins\\skin" + std::to_string(c.chosen) + ".bskn");
    }
    EXPECT_FALSE(fs::exists(device.host(std::string(kSkinsHost) + "/old")));
  }
}

TEST(SkinPackage, UnpacksInPlaceAndFindsTheDocument) {
  TestDevice device;
  ASSERT_TRUE(writeZip(device.host("Storage/theme.zskn"), {{"theme/skin.bskn", "<svg/>"},
                                                           {"theme/img/bg.png", "PNG"},
                                                           {"extras/", ""},
                                                           {"theme\\win\\sep.txt", "backslash"},
                                                           {"stored.txt", "plain", false, std::nullopt, true}}));
  writeHostFile(device.host(std::string(kSkinsHost) + "/previous/deep/old.bskn"), "old");
  writeHostFile(device.host(std::string(kSkinsHost) + "/old.png"), "old");
  Settings s = settingsFor();
  installSkinPackage(s, u"\\Storage\\theme.zskn");
  EXPECT_EQ(s.zipskin, u"\\Storage\\theme.zskn");
  EXPECT_EQ(s.skin, u"\\My Documents\\OrvelFlash\\skins\\theme\\skin.bskn");
  EXPECT_EQ(treeOf(device.host(kSkinsHost)), (std::map<std::string, std::string>{
                                                 {"extras", "<folder>"},
                                                 {"stored.txt", "plain"},
                                                 {"theme", "<folder>"},
                                                 {"theme/img", "<folder>"},
                                                 {"theme/img/bg.png", "PNG"},
                                                 {"theme/skin.bskn", "<svg/>"},
                                                 {"theme/win", "<folder>"},
                                                 {"theme/win/sep.txt", "backslash"},
                                             }));
}

TEST(SkinPackage, BadPackagesLeaveAnEmptySkinsFolder) {
  struct Case {
    const char* name;
    std::string bytes;  // written as the package; empty: no file
    int result;
  };
  const Case cases[] = {
      {"not a zip", "PK\x03\x04 but nothing more", kExtractCannotOpen},
      {"missing", "", kExtractCannotOpen},
      {"one byte", " ", kExtractCannotOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDevice device;
    if (!c.bytes.empty()) writeHostFile(device.host("p.zskn"), c.bytes);
    writeHostFile(device.host(std::string(kSkinsHost) + "/old.bskn"), "old");
    EXPECT_EQ(extractSkinPackage(u"\\p.zskn", u"\\x"), c.result);
    Settings s = settingsFor();
    installSkinPackage(s, u"\\p.zskn");
    EXPECT_EQ(s.skin, u"");
    EXPECT_EQ(s.zipskin, u"\\p.zskn");
    EXPECT_TRUE(fs::is_directory(device.host(kSkinsHost)));  // emptied, kept
    EXPECT_TRUE(treeOf(device.host(kSkinsHost)).empty());
  }
  TestDevice device;
  ASSERT_TRUE(writeZip(device.host("nodoc.zskn"), {{"readme.txt", "no skin here"}}));
  Settings s = settingsFor();
  installSkinPackage(s, u"\\nodoc.zskn");
  EXPECT_EQ(s.skin, u"");
  EXPECT_EQ(readHostFile(device.host(std::string(kSkinsHost) + "/readme.txt")), "no skin here");
}

TEST(SkinPackage, HostileEntriesNeverWriteOutsideTheSkinsFolder) {
  using Tree = std::map<std::string, std::string>;
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    Tree skins;  // what the skins folder holds afterwards
    ExtractLimits limits = {};
    void (*damage)(std::string& bytes) = nullptr;  // applied to the written package
    int result = kExtractOk;
  };
  const std::string big(3000, 'z');
  const std::string mib(1u << 20, '\0');
  const Case cases[] = {
      {"parent with /", {{"../evil.txt", "x"}, {"good.txt", "g"}}, {{"good.txt", "g"}}},
      {"parent with \\", {{"..\\evil.txt", "x"}}, {}},
      {"parent deeper with /", {{"theme/../../evil.txt", "x"}}, {}},
      {"parent deeper with \\", {{"theme\\..\\..\\..\\evil.txt", "x"}}, {}},
      {"parent at the end", {{"theme/..", "x"}}, {}},
      {"dots and blanks", {{"theme/.. /evil.txt", "x"}, {"a/.../b.txt", "x"}}, {}},
      {"absolute /", {{"/abs.txt", "x"}}, {}},
      {"absolute \\", {{"\\My Documents\\abs.txt", "x"}}, {}},
      {"network path", {{"\\\\server\\share\\x.txt", "x"}}, {}},
      {"drive letter",
       {{"C:/evil.txt", "x"}, {"C:evil.txt", "x"}, {"c:\\evil.txt", "x"}, {"C:\\..\\evil.txt", "x"}},
       {}},
      {"stream colon", {{"good.txt:hidden", "x"}}, {}},
      {"link then a file through it",
       {{"lnk", "../../../../outside", true}, {"lnk/x.txt", "inside"}},
       {{"lnk", "<folder>"}, {"lnk/x.txt", "inside"}}},
      {"absolute link", {{"passwd", "/etc/passwd", true}}, {}},
      {"duplicate names: the last wins", {{"a.txt", "first"}, {"a.txt", "second"}}, {{"a.txt", "second"}}},
      {"case variants: one file",
       {{"Theme/A.txt", "first"}, {"theme/a.TXT", "second"}},
       {{"theme", "<folder>"}, {"theme/a.txt", "second"}}},
      {"a file where a folder is wanted", {{"x", "file"}, {"x/y.txt", "y"}}, {{"x", "file"}}},
      {"declared huge", {{"huge.bin", "small", false, 0xFFFFFFFFul}, {"ok.txt", "ok"}}, {{"ok.txt", "ok"}}},
      {"inflates past its declared size", {{"bomb.bin", std::string(1 << 20, '\0'), false, 100ul}}, {}},
      {"declared size larger than the data", {{"short.bin", "abc", false, 50ul}}, {}},
      {"entry over the entry limit", {{"big.bin", big}, {"ok.txt", "ok"}}, {{"ok.txt", "ok"}}, {1000, 1u << 20}},
      {"package over its budget: unpacking stops there",
       {{"1.bin", big}, {"2.bin", big}, {"3.bin", big}, {"4.txt", "ok"}},
       {{"1.bin", big}, {"2.bin", big}},
       {1u << 20, 6002}},
      {"zip bomb: honest entries that together pass the bound",
       {{"1.bin", mib}, {"2.bin", mib}, {"3.bin", mib}, {"4.bin", mib}},
       {{"1.bin", mib}, {"2.bin", mib}},
       {1u << 20, (2u << 20) + 100}},
      {"zip bomb past the default bounds",
       {{"bomb.bin", std::string(65u << 20, '\0')}, {"ok.txt", "ok"}},
       {{"ok.txt", "ok"}}},
      {"entry count bound",
       {{"1.txt", "1"}, {"d/", ""}, {"3.txt", "3"}, {"4.txt", "4"}},
       {{"1.txt", "1"}, {"d", "<folder>"}, {"3.txt", "3"}},
       {1u << 20, 1u << 20, 3}},
      {"name longer than 260 bytes", {{std::string(300, 'n') + ".txt", "x"}, {"ok.txt", "ok"}}, {{"ok.txt", "ok"}}},
      {"control character",
       {{"a\x01"
         "b.txt",
         "x"}},
       {}},
      {"NUL inside a name", {{"a#b.txt", "x"}, {"ok.txt", "ok"}}, {{"ok.txt", "ok"}}, {}, nulInName},
      {"encrypted entry",
       {{.name = "secret.bskn", .content = "<svg/>", .password = "pw"}, {"ok.txt", "ok"}},
       {{"ok.txt", "ok"}}},
      {"ZIP64 entries unpack as any other",
       {{.name = "a.txt", .content = "a", .zip64 = true}, {.name = "d/b.txt", .content = big, .zip64 = true}},
       {{"a.txt", "a"}, {"d", "<folder>"}, {"d/b.txt", big}}},
      {"a folder entry where a file is", {{"x", "file"}, {"x/", ""}, {"x/y/", ""}}, {{"x", "file"}}},
      {"a file entry where a folder is", {{"d/", ""}, {"d", "file"}}, {{"d", "<folder>"}}},
      {"empty name", {{"", "x"}, {"ok.txt", "ok"}}, {{"ok.txt", "ok"}}},
      {"central directory cut short",
       {{"a.txt", "a"}, {"b.txt", "b"}},
       {},
       {},
       cutCentralDirectory,
       kExtractCannotOpen},
      {"end record counting more entries than there are: the real ones unpack",
       {{"a.txt", "a"}},
       {{"a.txt", "a"}},
       {},
       countOneMore},
      {"central directory placed past the end", {{"a.txt", "a"}}, {}, {}, directoryPastTheEnd, kExtractCannotOpen},
  };
  ASSERT_GE(std::size(cases), 30u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestDevice device;
    writeHostFile(device.outside("outside/victim.txt"), "victim");
    writeHostFile(device.host("My Documents/victim.txt"), "victim");
    writeHostFile(device.host("My Documents/OrvelFlash/victim.txt"), "victim");
    ASSERT_TRUE(writeZip(device.host("hostile.zskn"), c.entries));
    if (c.damage) {
      std::string bytes = readHostFile(device.host("hostile.zskn"));
      c.damage(bytes);
      writeHostFile(device.host("hostile.zskn"), bytes);
    }
    fs::create_directories(device.host(kSkinsHost));
    Tree before = everythingBut(device, device.host(kSkinsHost));
    EXPECT_EQ(extractSkinPackage(u"\\hostile.zskn", u"\\My Documents\\OrvelFlash\\skins", c.limits), c.result);
    EXPECT_EQ(treeOf(device.host(kSkinsHost)), c.skins);
    EXPECT_EQ(everythingBut(device, device.host(kSkinsHost)), before);
  }
}

TEST(SkinPackage, ReplacesFilesRatherThanWritingThroughLinks) {
  TestDevice device;
  writeHostFile(device.host("My Documents/victim.txt"), "victim");
  fs::create_directories(device.host(kSkinsHost));
  fs::create_hard_link(device.host("My Documents/victim.txt"), device.host(std::string(kSkinsHost) + "/skin.png"));
  ASSERT_TRUE(writeZip(device.host("p.zskn"), {{"skin.png", "new picture"}}));
  EXPECT_EQ(extractSkinPackage(u"\\p.zskn", u"\\My Documents\\OrvelFlash\\skins"), kExtractOk);
  EXPECT_EQ(readHostFile(device.host(std::string(kSkinsHost) + "/skin.png")), "new picture");
  EXPECT_EQ(readHostFile(device.host("My Documents/victim.txt")), "victim");
}

TEST(SkinPackage, HoldsASkinDocumentOnlyWhenUnpackingWouldWriteOne) {
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;  // none: the package is not a zip
    bool holds;
  };
  const Case cases[] = {
      {"a document in a folder", {{"theme/skin.BSKN", "<svg/>"}}, true},
      {"a document outside the skins folder", {{"../skin.bskn", "<svg/>"}}, false},
      {"a link named like a document", {{"skin.bskn", "/etc/passwd", true}}, false},
      {"an encrypted document", {{.name = "skin.bskn", .content = "<svg/>", .password = "pw"}}, false},
      {"a control character in the name", {{"a\x01.bskn", "<svg/>"}}, false},
      {"another extension", {{"skin.bskn.txt", "<svg/>"}}, false},
      {"not a zip", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestDevice device;
    if (c.entries.empty())
      writeHostFile(device.host("p.zskn"), "PK not really");
    else
      ASSERT_TRUE(writeZip(device.host("p.zskn"), c.entries));
    EXPECT_EQ(holdsSkinDocument(u"\\p.zskn"), c.holds);
  }
}
