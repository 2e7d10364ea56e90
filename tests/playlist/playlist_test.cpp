// Playlists: the editing and cursor operations, the file written byte for
// byte, and reading files back through the shared XML set-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/utf8.h"
#include "platform/core/winnls.h"
#include "platform/core/winreg.h"
#include "playlist/playlist.h"
#include "tests/support/testdevice.h"
#include "xml/charsettable.h"

namespace {

using Entries = std::vector<WideString>;

const std::string kDeclaration1252 =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n<playlist version=\"2.0\" >\r\n";

Playlist withEntries(const Entries& entries, const char16_t* name = u"Mix") {
  Playlist playlist(name);
  for (const auto& e : entries) playlist.add(e);
  return playlist;
}

// Writes `bytes` as a playlist file in "\My Documents" and reads it back.
std::unique_ptr<Playlist> readBytes(TestDevice& device, const std::string& bytes, const char* name = "list.bfl") {
  writeHostFile(device.host(std::string("My Documents/") + name), bytes);
  return Playlist::read(u"\\My Documents\\" + toWide(name));
}

// A device whose code-page table is filled, as the engine start does.
struct ReadyDevice : TestDevice {
  explicit ReadyDevice(const DeviceConfig& config = DeviceConfig{}) : TestDevice(config) { fillCharsetTable(); }
};

// ---- editing and the cursor

TEST(PlaylistAdd, RefusesWhatItCannotKeep) {
  Playlist playlist;
  EXPECT_EQ(playlist.add(u"\\My Documents\\a.swf"), u"\\My Documents\\a.swf");
  EXPECT_TRUE(playlist.isDirty());
  struct Case {
    const char* label;
    WideString path;
  };
  const Case refused[] = {
      {"empty", u""},
      {"same path", u"\\My Documents\\a.swf"},
      {"same path in upper case", u"\\MY DOCUMENTS\\A.SWF"},
      {"control character", u"\\My Documents\\a\x01.swf"},
      {"lone surrogate", WideString(u"\\My Documents\\") + char16_t(0xD800) + u".swf"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.label);
    playlist.setDirty(false);
    EXPECT_FALSE(playlist.add(c.path));
    EXPECT_TRUE(playlist.addAll({c.path, c.path}).empty()) << "many at once refuse the same";
    EXPECT_FALSE(playlist.isDirty());
  }
  EXPECT_EQ(playlist.addAll({u"\\x\\\u00c9t\u00e9.swf", u"\\X\\\u00e9T\u00c9.SWF", u"\\y.swf"}),
            (Entries{u"\\x\\\u00c9t\u00e9.swf", u"\\y.swf"}))
      << "a batch also refuses its own repeats, beyond ASCII too";
  EXPECT_TRUE(playlist.isDirty());
  playlist.remove(u"\\X\\\u00c9T\u00c9.swf");
  playlist.remove(u"\\y.swf");
  EXPECT_EQ(playlist.entries(), Entries{u"\\My Documents\\a.swf"});
  EXPECT_TRUE(playlist.add(u"\\My Documents\\\U0001F3B5 b.swf"));  // a pair of surrogates is a character
}

TEST(PlaylistEdit, MovesAndRemovesIgnoringCase) {
  const Entries abc = {u"\\a.swf", u"\\b.swf", u"\\c.swf"};
  struct Case {
    const char* label;
    void (Playlist::*operation)(WideStringView);
    const char16_t* path;
    Entries expected;
  };
  const Case cases[] = {
      {"up", &Playlist::moveUp, u"\\B.SWF", {u"\\b.swf", u"\\a.swf", u"\\c.swf"}},
      {"up from the top", &Playlist::moveUp, u"\\a.swf", abc},
      {"down", &Playlist::moveDown, u"\\b.swf", {u"\\a.swf", u"\\c.swf", u"\\b.swf"}},
      {"down from the bottom", &Playlist::moveDown, u"\\c.swf", abc},
      {"remove", &Playlist::remove, u"\\B.swf", {u"\\a.swf", u"\\c.swf"}},
      {"remove what is not there", &Playlist::remove, u"\\d.swf", abc},
      {"move what is not there", &Playlist::moveUp, u"\\d.swf", abc},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Playlist playlist = withEntries(abc);
    playlist.setDirty(false);
    (playlist.*c.operation)(c.path);
    EXPECT_EQ(playlist.entries(), c.expected);
    EXPECT_TRUE(playlist.isDirty());  // the manager saves after every edit
  }
}

TEST(PlaylistCursor, StaysWithinTheEntries) {
  Playlist empty;
  EXPECT_EQ(empty.current(), u"");
  EXPECT_FALSE(empty.isLast());
  empty.next();
  EXPECT_EQ(empty.cursor(), 0);

  Playlist playlist = withEntries({u"\\a.swf", u"\\b.swf", u"\\c.swf"});
  EXPECT_EQ(playlist.current(), u"\\a.swf");
  playlist.previous();
  EXPECT_EQ(playlist.cursor(), 0);
  playlist.select(u"\\C.SWF");
  EXPECT_EQ(playlist.cursor(), 2);
  EXPECT_TRUE(playlist.isLast());
  playlist.next();  // on the last entry
  EXPECT_EQ(playlist.cursor(), 2);
  EXPECT_EQ(playlist.current(), u"\\c.swf");
  playlist.select(u"\\missing.swf");
  EXPECT_EQ(playlist.cursor(), 2);
  playlist.previous();
  EXPECT_EQ(playlist.current(), u"\\b.swf");
  EXPECT_EQ(playlist.indexOf(u"\\B.swf"), 1);
  EXPECT_EQ(playlist.indexOf(u"\\b"), -1);
  playlist.remove(u"\\a.swf");
  playlist.remove(u"\\b.swf");  // the cursor now lies past the entries
  EXPECT_EQ(playlist.current(), u"");
}

TEST(FileTitle, CutsAtTheLastDotOfTheLastName) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"\\My Documents\\OrvelFlash\\Road Trip.old.bfl", u"Road Trip.old"},
      {u"\\My Documents\\movie.swf", u"movie"},
      {u"\\My Documents\\no extension", u"no extension"},
      {u"\\Folder.with.dots\\plain", u"plain"},
      {u"bare.bfl", u"bare"},
      {u"\\trailing\\", u""},
  };
  for (const auto& [path, title] : cases) {
    SCOPED_TRACE(toUtf8(path));
    EXPECT_EQ(fileTitle(path), title);
  }
}

// ---- writing

TEST(PlaylistWrite, TheFileByteForByte) {
  TestDevice device;
  struct Case {
    const char* label;
    Entries entries;
    std::string body;  // after the declaration and start tag
  };
  const Case cases[] = {
      {"empty", {}, "</playlist>"},
      {"two entries",
       {u"\\My Documents\\Clip One.swf", u"\\Storage Card\\caf\u00e9.swf"},
       "<media href=\"\\My Documents\\Clip One.swf\" />\r\n<media href=\"\\Storage Card\\caf\xe9.swf\" />\r\n"
       "</playlist>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Playlist playlist = withEntries(c.entries, u"Road Trip");
    playlist.setDirty(true);
    playlist.write(u"\\My Documents");
    EXPECT_FALSE(playlist.isDirty());
    EXPECT_EQ(readHostFile(device.host("My Documents/Road Trip.bfl")), kDeclaration1252 + c.body);
    EXPECT_EQ(toUtf8(playlist.toText()), toUtf8(ansiToWide(kDeclaration1252 + c.body)));
  }
}

TEST(PlaylistWrite, OnlyWhenChangedAndNeverReported) {
  TestDevice device;
  Playlist playlist = withEntries({u"\\a.swf"}, u"Kept");
  playlist.setDirty(false);
  playlist.write(u"\\My Documents");
  EXPECT_FALSE(std::filesystem::exists(device.host("My Documents/Kept.bfl")));
  playlist.setDirty(true);
  EXPECT_FALSE(playlist.write(u"\\No Such Folder"));  // cannot be made: kept for the next save
  EXPECT_TRUE(playlist.isDirty());
  writeHostFile(device.host("My Documents/Kept.bfl"), std::string(5000, 'x'));
  playlist.setDirty(true);
  playlist.write(u"\\My Documents");  // an old, longer file is replaced whole
  EXPECT_EQ(readHostFile(device.host("My Documents/Kept.bfl")),
            kDeclaration1252 + "<media href=\"\\a.swf\" />\r\n</playlist>");
}

TEST(PlaylistWrite, EscapesWhatWouldBreakTheFile) {
  TestDevice device;
  struct Case {
    WideString path;
    std::string written;
  };
  const Case cases[] = {
      {u"\\Tom & Jerry\\<best> \"cut\".swf", "\\Tom &amp; Jerry\\&lt;best&gt; &quot;cut&quot;.swf"},
      {u"\\it's.swf", "\\it's.swf"},
      {u"\\tab\there.swf", "\\tab&#9;here.swf"},
      // Not in code page 1252: a character reference, never a question mark.
      {u"\\\u4e2d\u6587.swf", "\\&#20013;&#25991;.swf"},
      {u"\\\U0001F3B5.swf", "\\&#127925;.swf"},
      {u"\\caf\u00e9 \u20ac.swf", "\\caf\xe9 \x80.swf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    Playlist playlist = withEntries({c.path}, u"Escaped");
    playlist.write(u"\\My Documents");
    EXPECT_EQ(readHostFile(device.host("My Documents/Escaped.bfl")),
              kDeclaration1252 + "<media href=\"" + c.written + "\" />\r\n</playlist>");
  }
}

// ---- reading

TEST(PlaylistRead, WhatWasWrittenComesBack) {
  struct Case {
    const char* label;
    UINT codePage;
    Entries entries;
  };
  const Case cases[] = {
      {"1252 with every escaped character",
       1252,
       {u"\\Tom & Jerry\\<best> \"cut\".swf", u"\\tab\there\r\nnext.swf", u"\\caf\u00e9 \u20ac.swf",
        u"\\\u4e2d\u6587\\\U0001F3B5.swf"}},
      {"936 with a Chinese path", 936, {u"\\\u6211\u7684\u6587\u6863\\\u7535\u5f71.swf", u"\\My Documents\\b.swf"}},
      {"932", 932, {u"\\\u30de\u30a4\\\u6620\u753b.swf", u"\\\u00e9.swf"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    DeviceConfig config;
    config.ansiCodePage = c.codePage;
    ReadyDevice device(config);
    Playlist playlist = withEntries(c.entries, u"Trip");
    ASSERT_EQ(playlist.entries(), c.entries);
    playlist.write(u"\\My Documents");
    auto back = Playlist::read(u"\\My Documents\\Trip.bfl");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->entries(), c.entries);
    EXPECT_EQ(back->name(), u"Trip");
    EXPECT_FALSE(back->isDirty());
    EXPECT_EQ(back->number(), 0);
  }
}

TEST(PlaylistRead, TheChinesePathIsWrittenInTheCodePage) {
  DeviceConfig config;
  config.ansiCodePage = 936;
  ReadyDevice device(config);
  Playlist playlist = withEntries({u"\\\u7535\u5f71.swf"}, u"Chinese");
  playlist.write(u"\\My Documents");
  EXPECT_EQ(readHostFile(device.host("My Documents/Chinese.bfl")),
            "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<playlist version=\"2.0\" >\r\n"
            "<media href=\"\\\xb5\xe7\xd3\xb0.swf\" />\r\n</playlist>");
}

// A device whose MIME database lacks its own code page still declares a
// charset its reader maps back; a device with the entry writes its name.
TEST(PlaylistRead, SurvivesACodePageMissingFromTheDatabase) {
  struct Case {
    UINT codePage;
    bool inDatabase;
    const char* declared;
    Entries entries;
  };
  const Case cases[] = {
      {1252, true, "Windows-1252", {u"\\caf\u00e9.swf"}},
      {936, true, "gb2312", {u"\\\u7535\u5f71.swf"}},
      {1252, false, "windows-1252", {u"\\caf\u00e9.swf"}},
      {936, false, "windows-936", {u"\\\u7535\u5f71.swf", u"\\a.swf"}},
      {932, false, "windows-932", {u"\\\u30de\u30a4\\\u6620\u753b.swf"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + (c.inDatabase ? " in the database" : " missing"));
    DeviceConfig config;
    config.ansiCodePage = c.codePage;
    ReadyDevice device(config);
    if (!c.inDatabase) {
      ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT,
                              (u"MIME\\Database\\Codepage\\" + toWide(std::to_string(c.codePage))).c_str()),
                ERROR_SUCCESS);
      fillCharsetTable();
    }
    withEntries(c.entries, u"Cp").write(u"\\My Documents");
    const std::string bytes = readHostFile(device.host("My Documents/Cp.bfl"));
    EXPECT_EQ(bytes.substr(0, bytes.find('\r')),
              "<?xml version=\"1.0\" encoding=\"" + std::string(c.declared) + "\"?>");
    auto back = Playlist::read(u"\\My Documents\\Cp.bfl");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->entries(), c.entries);
  }
}

TEST(PlaylistRead, TakesMediaAnywhereIgnoringCase) {
  ReadyDevice device;
  struct Case {
    const char* label;
    std::string body;
    Entries entries;
  };
  const Case cases[] = {
      {"duplicate in upper case", "<media href=\"\\a.swf\" /><media href=\"\\A.SWF\" />", {u"\\a.swf"}},
      {"MEDIA and HREF nested", "<group><set><MEDIA HREF=\"\\deep.swf\" /></set></group>", {u"\\deep.swf"}},
      {"other attributes and elements ignored",
       "<media src=\"\\x.swf\" href=\"\\y.swf\" /><movie href=\"\\z.swf\" />",
       {u"\\y.swf"}},
      {"empty href", "<media href=\"\" />", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto playlist = readBytes(device, kDeclaration1252 + c.body + "</playlist>");
    ASSERT_TRUE(playlist);
    EXPECT_EQ(playlist->entries(), c.entries);
  }
  auto named = readBytes(device, "<list><media href=\"\\a.swf\"/></list>", "Road Trip.old.bfl");
  ASSERT_TRUE(named);  // neither the declaration nor the root's name is required
  EXPECT_EQ(named->name(), u"Road Trip.old");
}

// Files that end exactly on a block, so that the last block passed is empty.
TEST(PlaylistRead, FilesOfWholeBlocks) {
  ReadyDevice device;
  for (size_t size : {2047u, 2048u, 2049u, 4096u}) {
    SCOPED_TRACE(size);
    Entries entries;
    std::string body = kDeclaration1252;
    const std::string end = "</playlist>";
    for (int i = 0; body.size() + 60 + end.size() < size; ++i) {
      std::string path = "\\My Documents\\movie " + std::to_string(i) + ".swf";
      body += "<media href=\"" + path + "\" />\r\n";
      entries.push_back(toWide(path));
    }
    body += std::string(size - body.size() - end.size(), ' ') + end;
    ASSERT_EQ(body.size(), size);
    auto playlist = readBytes(device, body);
    ASSERT_TRUE(playlist);
    EXPECT_EQ(playlist->entries(), entries);
  }
}

TEST(PlaylistRead, RefusesFilesItCannotTrust) {
  ReadyDevice device;
  const std::pair<const char*, std::string> cases[] = {
      {"malformed", kDeclaration1252 + "<media href=\"\\a.swf\" /></playlist"},
      {"unescaped ampersand", kDeclaration1252 + "<media href=\"\\Tom & Jerry.swf\" /></playlist>"},
      {"unknown encoding",
       "<?xml version=\"1.0\" encoding=\"x-nothing\"?><playlist><media href=\"\\a.swf\"/></playlist>"},
      {"windows- name of no code page",
       "<?xml version=\"1.0\" encoding=\"windows-77777\"?><playlist><media href=\"\\a.swf\"/></playlist>"},
      {"empty encoding", "<?xml version=\"1.0\" encoding=\"\"?><playlist><media href=\"\\a.swf\"/></playlist>"},
      {"empty file", ""},
  };
  for (const auto& [label, bytes] : cases) {
    SCOPED_TRACE(label);
    EXPECT_FALSE(readBytes(device, bytes));
  }
  EXPECT_FALSE(Playlist::read(u"\\My Documents\\missing.bfl"));
}

}  // namespace
