// The playlist manager without its dialog: loading the folder, names of new
// playlists, renames that never leave the playlist without a file, saves
// that replace files whole (also when the saving process is killed), and
// the current playlist.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/core/utf8.h"
#include "playlist/playlistmanager.h"
#include "tests/support/testdevice.h"
#include "xml/charsettable.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kFolder[] = u"\\My Documents\\OrvelFlash";
const std::string kHostFolder = "My Documents/OrvelFlash";

struct Fixture : TestDevice {
  Fixture() {
    fillCharsetTable();
    fs::create_directories(host(kHostFolder));
  }
  void file(const std::string& name, const std::string& bytes) { writeHostFile(host(kHostFolder + "/" + name), bytes); }
  std::string bytes(const std::string& name) { return readHostFile(host(kHostFolder + "/" + name)); }
  // The folder's file names, sorted.
  std::vector<std::string> files() {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(host(kHostFolder))) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::string playlistFile(const std::vector<std::string>& paths) {
  std::string text = "<?xml version=\"1.0\"?>\r\n<playlist version=\"2.0\" >\r\n";
  for (const std::string& path : paths) text += "<media href=\"" + path + "\" />\r\n";
  return text + "</playlist>";
}

std::vector<std::string> namesOf(const PlaylistManager& manager) {
  std::vector<std::string> names;
  for (const auto& playlist : manager.playlists()) names.push_back(toUtf8(playlist->name()));
  return names;
}

std::vector<std::string> entriesOf(const Playlist& playlist) {
  std::vector<std::string> entries;
  for (const WideString& entry : playlist.entries()) entries.push_back(toUtf8(entry));
  return entries;
}

const std::string kBroken = "<playlist><media href=\"\\a.swf\"";

TEST(PlaylistManagerLoad, ReadsWhatReadsAndTouchesNothingElse) {
  Fixture device;
  device.file("b.bfl", playlistFile({"\\b.swf"}));
  device.file("A.bfl", playlistFile({"\\a.swf", "\\A.SWF", "\\c.swf"}));
  device.file("broken.bfl", kBroken);
  device.file("A.bfl.tmp", "half a save");  // left by a save that died before its rename
  fs::create_directories(device.host(kHostFolder + "/folder.bfl"));
  PlaylistManager manager(nullptr, nullptr, kFolder);
  manager.loadAll();
  EXPECT_EQ(namesOf(manager), (std::vector<std::string>{"A", "b"}));  // character codes: upper case first
  EXPECT_EQ(entriesOf(*manager.findByName(u"A")), (std::vector<std::string>{"\\a.swf", "\\c.swf"}));
  EXPECT_EQ(manager.findByName(u"a"), nullptr);
  manager.findByName(u"b")->add(u"\\d.swf");
  EXPECT_TRUE(manager.saveAll());
  EXPECT_EQ(device.bytes("broken.bfl"), kBroken);
  EXPECT_EQ(device.files(), (std::vector<std::string>{"A.bfl", "b.bfl", "broken.bfl", "folder.bfl"}));
}

TEST(PlaylistManagerNew, TakesTheFirstFreeNumberAndEveryMovie) {
  Fixture device;
  writeHostFile(device.host("Storage Card/z.swf"), "x");
  writeHostFile(device.host("My Documents/b.swf"), "x");
  writeHostFile(device.host("My Documents/A.SWF"), "x");
  writeHostFile(device.host("My Documents/notes.txt"), "x");
  device.file("playlist 1.bfl", kBroken);  // a name on disk is taken even when it did not load
  PlaylistManager manager(nullptr, nullptr, kFolder);
  manager.loadAll();
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) names.push_back(toUtf8(manager.newPlaylist()->name()));
  EXPECT_EQ(names, (std::vector<std::string>{"playlist 0", "playlist 2", "playlist 3"}));
  EXPECT_EQ(entriesOf(*manager.playlists().front()),
            (std::vector<std::string>{"\\My Documents\\A.SWF", "\\My Documents\\b.swf", "\\Storage Card\\z.swf"}));
  manager.saveAll();
  EXPECT_EQ(device.bytes("playlist 1.bfl"), kBroken);
}

TEST(PlaylistManagerRename, RefusesTakenAndBadNamesAndKeepsAFileThroughout) {
  using Check = PlaylistManager::NameCheck;
  struct Case {
    const char* to;
    Check check;
    std::vector<std::string> files;  // after the rename, before any save
  };
  const Case kCases[] = {
      {"Trip", Check::Accepted, {"Other.bfl", "Trip.bfl", "broken.bfl"}},
      {"Other", Check::Duplicate, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
      {"OTHER", Check::Duplicate, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},   // one file on the device
      {"Broken", Check::Duplicate, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},  // never overwrite it
      {"Playlist 0", Check::Accepted, {"Other.bfl", "Playlist 0.bfl", "broken.bfl"}},
      {"playlist 0", Check::Accepted, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
      {"", Check::Invalid, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
      {"..", Check::Invalid, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
      {"..\\..\\out", Check::Invalid, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
      {"a:b", Check::Invalid, {"Other.bfl", "broken.bfl", "playlist 0.bfl"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.to);
    Fixture device;
    device.file("playlist 0.bfl", playlistFile({"\\a.swf"}));
    device.file("Other.bfl", playlistFile({"\\b.swf"}));
    device.file("broken.bfl", kBroken);
    PlaylistManager manager(nullptr, nullptr, kFolder);
    manager.loadAll();
    Playlist& playlist = *manager.findByName(u"playlist 0");
    EXPECT_EQ(manager.rename(playlist, toWide(c.to)), c.check);
    EXPECT_EQ(device.files(), c.files);
    manager.saveAll();
    EXPECT_EQ(device.files(), c.files);
    std::string kept = c.check == Check::Accepted ? c.to : "playlist 0";
    auto reread = Playlist::read(WideString(kFolder) + u"\\" + toWide(kept) + u".bfl");
    ASSERT_TRUE(reread);
    EXPECT_EQ(entriesOf(*reread), (std::vector<std::string>{"\\a.swf"}));
  }
}

TEST(PlaylistManagerRename, WhenTheNewFileCannotBeWrittenTheOldOneStaysUntilItCan) {
  Fixture device;
  device.file("Old.bfl", playlistFile({"\\a.swf"}));
  fs::create_directories(device.host(kHostFolder + "/New.bfl.tmp"));  // the save's own file cannot be made
  PlaylistManager manager(nullptr, nullptr, kFolder);
  manager.loadAll();
  EXPECT_EQ(manager.rename(*manager.findByName(u"Old"), u"New"), PlaylistManager::NameCheck::Accepted);
  EXPECT_FALSE(manager.saveAll());
  EXPECT_EQ(device.files(), (std::vector<std::string>{"New.bfl.tmp", "Old.bfl"}));
  fs::remove(device.host(kHostFolder + "/New.bfl.tmp"));
  EXPECT_TRUE(manager.saveAll());
  EXPECT_EQ(device.files(), (std::vector<std::string>{"New.bfl"}));
}

TEST(PlaylistManagerEdit, AddsOnlyNewMoviesAndForgetsRemovedPlaylists) {
  Fixture device;
  device.file("Mix.bfl", playlistFile({"\\My Documents\\a.swf"}));
  device.file("Two.bfl", playlistFile({}));
  PlaylistManager manager(nullptr, nullptr, kFolder);
  manager.loadAll();
  Playlist& mix = *manager.findByName(u"Mix");
  std::vector<WideString> added = manager.addFiles(mix, {u"\\MY DOCUMENTS\\A.SWF", u"\\b.swf", u"\\B.swf"});
  EXPECT_EQ(added, (std::vector<WideString>{u"\\b.swf"}));
  manager.setCurrent(&mix, 1);
  EXPECT_EQ(manager.current()->current(), u"\\b.swf");
  manager.removePlaylist(&mix);
  EXPECT_EQ(manager.current(), nullptr);
  EXPECT_EQ(device.files(), (std::vector<std::string>{"Two.bfl"}));
}

// A child process saves many changed playlists and is killed at a random
// moment; every file must then read back whole, as before or as after.
TEST(PlaylistManagerSave, AKilledSaveLeavesEachPlaylistOldOrNew) {
  constexpr int kPlaylists = 40, kRounds = 25;
  Fixture device;
  auto entries = [](int playlist, int round) {
    std::vector<std::string> paths;
    for (int i = 0; i < 20 + round % 7; ++i)
      paths.push_back("\\My Documents\\round " + std::to_string(round) + " movie " +
                      std::to_string(playlist * 100 + i) + ".swf");
    return paths;
  };
  for (int p = 0; p < kPlaylists; ++p) device.file("list " + std::to_string(p) + ".bfl", playlistFile(entries(p, 0)));
  std::mt19937 random(20261208);
  int killedMidway = 0;
  for (int round = 1; round <= kRounds; ++round) {
    pid_t child = fork();
    if (child == 0) {
      PlaylistManager manager(nullptr, nullptr, kFolder);
      manager.loadAll();
      for (const auto& playlist : manager.playlists()) {
        int number = std::stoi(toUtf8(playlist->name()).substr(5));
        playlist->clear();
        for (const std::string& path : entries(number, round)) playlist->add(toWide(path));
        playlist->setDirty(true);
      }
      manager.saveAll();
      _exit(0);
    }
    usleep(std::uniform_int_distribution<unsigned>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    killedMidway += WIFSIGNALED(status);
    for (int p = 0; p < kPlaylists; ++p) {
      SCOPED_TRACE("round " + std::to_string(round) + ", list " + std::to_string(p));
      auto playlist = Playlist::read(WideString(kFolder) + u"\\list " + toWide(std::to_string(p)) + u".bfl");
      ASSERT_TRUE(playlist);
      std::vector<std::string> now = entriesOf(*playlist);
      bool asBefore = false;
      for (int r = 0; r < round && !asBefore; ++r) asBefore = now == entries(p, r);
      EXPECT_TRUE(asBefore || now == entries(p, round));
    }
  }
  EXPECT_GT(killedMidway, 0) << "no save was interrupted: the delays are too long for this machine";
}

}  // namespace
