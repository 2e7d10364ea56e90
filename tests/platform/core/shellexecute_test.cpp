// ShellExecuteEx "open": the file type's command found under
// HKEY_CLASSES_ROOT, %1 put in, and the program started on the device.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/core/handles.h"
#include "platform/core/shellapi.h"
#include "platform/core/utf8.h"
#include "tests/support/registryread.h"

namespace fs = std::filesystem;

namespace {

// A device program that writes what it was started with, one item a line,
// to started.txt beside the device, and ends with `exitCode`.
void makeProgram(TestDevice& device, const std::string& relative, int exitCode = 0) {
  fs::path log = device.outside("started.txt");
  writeHostFile(device.host(relative),
                "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; "
                "printf 'module=%s\\n' \"$ORVELFLASH_MODULE\"; printf 'device=%s\\n' \"$ORVELFLASH_DEVICE\"; } > '" +
                    log.string() + "'\nexit " + std::to_string(exitCode) + "\n");
  fs::permissions(device.host(relative), fs::perms::owner_all);
}

struct Started {
  BOOL ok;
  DWORD error;
  DWORD exitCode;
  std::string lines;
};

Started open(TestDevice& device, const char16_t* file, const char16_t* parameters = nullptr,
             DWORD size = kDeviceShellExecuteInfoSize) {
  fs::remove(device.outside("started.txt"));
  SHELLEXECUTEINFO info{};
  info.cbSize = size;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = file;
  info.lpParameters = parameters;
  Started result{ShellExecuteEx(&info), GetLastError(), 0, ""};
  if (result.ok) {
    EXPECT_GT(reinterpret_cast<ULONG_PTR>(info.hInstApp), 32u);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    GetExitCodeProcess(info.hProcess, &result.exitCode);
    CloseHandle(info.hProcess);
    result.lines = readHostFile(device.outside("started.txt"));
  } else {
    EXPECT_LE(reinterpret_cast<ULONG_PTR>(info.hInstApp), 32u);
  }
  return result;
}

TEST(ShellExecuteEx, StartsTheRegisteredCommand) {
  struct Case {
    const char* label;
    const char16_t* command;
    const char16_t* file;
    std::string arguments;  // as the program received them
  };
  const Case cases[] = {
      {"quoted program with blanks", u"\"\\Program Files\\My Player\\player.exe\" %1", u"\\My Documents\\a b.swf",
       "\\My Documents\\a b.swf\n"},
      {"unquoted program", u"\\Windows\\viewer.exe %1", u"\\My Documents\\a b.swf", "\\My Documents\\a b.swf\n"},
      {"%1 inside the command line", u"\"\\Windows\\viewer.exe\" /open \"%1\" /x", u"\\My Documents\\a b.swf",
       "/open \"\\My Documents\\a b.swf\" /x\n"},
      {"extension in another case", u"\\Windows\\viewer.exe %1", u"\\My Documents\\LOUD.SWF",
       "\\My Documents\\LOUD.SWF\n"},
      {"no %1: no file", u"\\Windows\\viewer.exe", u"\\My Documents\\a b.swf", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TestDevice device;
    makeProgram(device, "Program Files/My Player/player.exe");
    makeProgram(device, "Windows/viewer.exe");
    writeHostFile(device.host("My Documents/a b.swf"), "FWS");
    writeHostFile(device.host("My Documents/LOUD.SWF"), "FWS");
    setClassesDefault(u".swf", u"Test.Movie");
    setClassesDefault(u"Test.Movie\\Shell\\Open\\Command", c.command);
    Started started = open(device, c.file);
    ASSERT_TRUE(started.ok) << started.error;
    const std::string program = toUtf8(std::u16string(c.command).find(u"My Player") != std::u16string::npos
                                           ? u"\\Program Files\\My Player\\player.exe"
                                           : u"\\Windows\\viewer.exe");
    EXPECT_EQ(started.lines, c.arguments + "module=" + program + "\ndevice=" + device.root().string() + "\n");
  }
}

TEST(ShellExecuteEx, StartsAProgramWithItsParametersAndAnswersItsExitCode) {
  TestDevice device;
  makeProgram(device, "Windows/tool.exe", 3);
  setProgramHostOptions({"--headless"});
  Started started = open(device, u"\\windows\\TOOL.EXE", u"one two", sizeof(SHELLEXECUTEINFO));
  setProgramHostOptions({});
  ASSERT_TRUE(started.ok) << started.error;
  EXPECT_EQ(started.exitCode, 3u);
  // Host options first, then the command line as one argument.
  EXPECT_EQ(started.lines.substr(0, started.lines.find("module=")), "--headless\none two\n");
  EXPECT_NE(started.lines.find("module=\\windows\\TOOL.EXE\n"), std::string::npos);
}

TEST(ShellExecuteEx, FailuresSayWhy) {
  TestDevice device;
  makeProgram(device, "Windows/viewer.exe");
  writeHostFile(device.host("My Documents/a.swf"), "FWS");
  writeHostFile(device.host("My Documents/notes.txt"), "text");
  writeHostFile(device.host("Windows/plain.exe"), "not a program");
  setClassesDefault(u".swf", u"Test.Movie");
  setClassesDefault(u".txt", u"Test.Text");  // a type without a command
  struct Case {
    const char* label;
    const char16_t* file;
    DWORD error;
  };
  const Case cases[] = {
      {"missing file", u"\\My Documents\\b.swf", ERROR_FILE_NOT_FOUND},
      {"type without a command", u"\\My Documents\\notes.txt", ERROR_NO_ASSOCIATION},
      {"registered program missing", u"\\My Documents\\a.swf", ERROR_FILE_NOT_FOUND},
      {"not a program", u"\\Windows\\plain.exe", ERROR_ACCESS_DENIED},
  };
  setClassesDefault(u"Test.Movie\\Shell\\Open\\Command", u"\"\\Windows\\gone.exe\" %1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Started started = open(device, c.file);
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.error, c.error);
  }
  SHELLEXECUTEINFO info{};
  info.cbSize = 12;
  info.lpFile = u"\\Windows\\viewer.exe";
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
