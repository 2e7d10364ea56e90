// The ".swf" registration: taking over an existing file type, the buffers
// that decide what counts as registered, and the player's own check.
#include <gtest/gtest.h>

#include "app/filetype.h"
#include "tests/support/registryread.h"

namespace {

constexpr char16_t kSwfProgId[] = u"ShockwaveFlash.ShockwaveFlash";
const std::u16string kCommand = u"\"\\Program Files\\OrvelFlash\\OrvelFlash.exe\" %1";
const std::u16string kIcon = u"\\Program Files\\OrvelFlash\\OrvelFlash.exe, -108";

void registerPlayer(const std::u16string& command = kCommand) {
  registerFileType(u".swf", command.c_str(), kSwfProgId, kIcon.c_str());
}

TEST(RegisterFileType, NoSwfKeyGetsTheDefaultProgId) {
  TestDevice device;
  registerPlayer();
  EXPECT_EQ(classesDefault(u".swf"), kSwfProgId);
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command"), kCommand);
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\DefaultIcon"), kIcon);
  for (const char16_t* key : {u".swf", u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command",
                              u"ShockwaveFlash.ShockwaveFlash\\DefaultIcon"}) {
    SCOPED_TRACE(toUtf8(key));
    EXPECT_EQ(classOf(device, key), u"DWORD");
  }
  EXPECT_TRUE(isDefaultPlayer(u".swf", kCommand.c_str()));
}

TEST(RegisterFileType, AnExistingProgIdIsTakenOver) {
  TestDevice device;
  setClassesDefault(u".swf", u"OtherPlayer.Movie");
  setClassesDefault(u"OtherPlayer.Movie\\Shell\\Open\\Command", u"\"\\Windows\\other.exe\" %1");
  registerPlayer();
  EXPECT_EQ(classesDefault(u".swf"), u"OtherPlayer.Movie");
  EXPECT_EQ(classesDefault(u"OtherPlayer.Movie\\Shell\\Open\\Command"), kCommand);
  EXPECT_EQ(classesDefault(u"OtherPlayer.Movie\\DefaultIcon"), kIcon);
  // The Flash control's own ProgID key stays as the device made it.
  EXPECT_FALSE(classOf(device, u"ShockwaveFlash.ShockwaveFlash\\Shell"));
  EXPECT_TRUE(isDefaultPlayer(u".swf", kCommand.c_str()));
}

TEST(RegisterFileType, WithoutAnIconLeavesTheIconAlone) {
  TestDevice device;
  registerFileType(u".swf", kCommand.c_str(), kSwfProgId, nullptr);
  EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command"), kCommand);
  EXPECT_FALSE(classOf(device, u"ShockwaveFlash.ShockwaveFlash\\DefaultIcon"));
}

// An empty ProgID would put the command at HKEY_CLASSES_ROOT\Shell\Open\Command
// and never count as registered; it is treated like a missing one.
TEST(RegisterFileType, AnEmptyProgIdIsReplaced) {
  TestDevice device;
  setClassesDefault(u".swf", u"");
  registerPlayer();
  EXPECT_EQ(classesDefault(u".swf"), kSwfProgId);
  EXPECT_FALSE(classOf(device, u"Shell"));
  EXPECT_TRUE(isDefaultPlayer(u".swf", kCommand.c_str()));
}

struct DefaultPlayerCase {
  const char* label;
  std::u16string stored;  // the open command in the registry
  std::u16string asked;
  bool expected;
};

// A command of exactly `length` characters in the player's form.
std::u16string commandOfLength(size_t length) {
  const std::u16string head = u"\"\\", tail = u"\\OrvelFlash.exe\" %1";
  return head + std::u16string(length - head.size() - tail.size(), u'x') + tail;
}

TEST(IsDefaultPlayer, ComparesTheStoredCommandWithinItsBuffer) {
  ASSERT_EQ(commandOfLength(126).size(), 126u);
  const DefaultPlayerCase cases[] = {
      {"same command", kCommand, kCommand, true},
      {"letter case differs", kCommand, u"\"\\PROGRAM FILES\\orvelflash\\ORVELFLASH.EXE\" %1", true},
      {"another program", kCommand, u"\"\\Windows\\other.exe\" %1", false},
      // 126 characters and the terminator take 254 bytes; 127 need 256.
      {"126 characters fit the 255-byte buffer", commandOfLength(126), commandOfLength(126), true},
      {"127 characters do not", commandOfLength(127), commandOfLength(127), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TestDevice device;
    registerPlayer(c.stored);
    EXPECT_EQ(classesDefault(u"ShockwaveFlash.ShockwaveFlash\\Shell\\Open\\Command"), c.stored);
    EXPECT_EQ(isDefaultPlayer(u".swf", c.asked.c_str()), c.expected);
  }
}

TEST(IsDefaultPlayer, FalseWithoutACompleteRegistration) {
  TestDevice device;
  EXPECT_FALSE(isDefaultPlayer(u".swf", kCommand.c_str()));  // no ".swf" key
  setClassesDefault(u".swf", u"");
  EXPECT_FALSE(isDefaultPlayer(u".swf", u""));  // empty ProgID, even for an empty command
  setClassesDefault(u".swf", u"Nobody.Movie");
  EXPECT_FALSE(isDefaultPlayer(u".swf", kCommand.c_str()));  // ProgID without a command
  setClassesDefault(u"Nobody.Movie\\Shell\\Open\\Command", u"");
  EXPECT_FALSE(isDefaultPlayer(u".swf", u""));  // empty command never counts
}

}  // namespace
