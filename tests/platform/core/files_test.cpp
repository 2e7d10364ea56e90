// Files and folders by device path: lookup, listing, errors, escapes, card.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/widestring.h"
#include "platform/core/devicepath.h"
#include "platform/core/guards.h"
#include "platform/core/shlobj.h"
#include "platform/core/utf8.h"
#include "platform/core/winbase.h"
#include "platform/core/wstdio.h"
#include "tests/support/testdevice.h"

namespace fs = std::filesystem;

namespace {

// Every file below `folder` with its content, and every folder: a snapshot
// that shows whether anything was touched.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> state;
  for (auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string key = fs::relative(entry.path(), folder).string();
    state[key] = entry.is_symlink()     ? "->" + fs::read_symlink(entry.path()).string()
                 : entry.is_directory() ? "<dir>"
                                        : readHostFile(entry.path());
  }
  return state;
}

std::vector<std::u16string> listNames(const char16_t* pattern, DWORD* error = nullptr) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do names.push_back(data.cFileName);
  while (FindNextFileW(search, &data));
  if (error) *error = GetLastError();
  FindClose(search);
  return names;
}

std::string readDeviceFile(const char16_t* path) {
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes.substr(0, read);
}

}  // namespace

TEST(DeviceFiles, NewDeviceHoldsTheStandardFolders) {
  TestDevice device;
  for (const char16_t* folder : {u"\\My Documents", u"\\Windows", u"\\Program Files", u"\\Temp", u"\\"}) {
    SCOPED_TRACE(toUtf8(folder));
    EXPECT_EQ(GetFileAttributesW(folder), FILE_ATTRIBUTE_DIRECTORY);
  }
  auto names = listNames(u"\\*.*");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"My Documents", u"Program Files", u"Temp", u"Windows"}));
}

TEST(DeviceFiles, LookupIgnoresCaseAndKeepsIt) {
  TestDevice device;
  writeHostFile(device.host("My Documents/Movie.SWF"), "FWS");
  writeHostFile(device.host("My Documents/\xC3\x84rger.txt"), "umlaut");  // "Ärger.txt"
  const char16_t* kSameFile[] = {
      u"\\My Documents\\Movie.SWF",
      u"\\my documents\\movie.swf",
      u"\\MY DOCUMENTS\\MOVIE.swf",
      u"/My Documents/Movie.SWF",
      u"My Documents\\Movie.SWF",
      u"\\\\My Documents\\\\.\\Movie.SWF",
      u"\\Windows\\..\\My Documents\\movie.swf",
  };
  for (const char16_t* path : kSameFile) {
    SCOPED_TRACE(toUtf8(path));
    EXPECT_EQ(GetFileAttributesW(path), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(readDeviceFile(path), "FWS");
  }
  EXPECT_EQ(readDeviceFile(u"\\MY DOCUMENTS\\\u00E4RGER.TXT"), "umlaut");  // folding beyond ASCII

  HANDLE made = CreateFileW(u"\\my documents\\New Clip.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  CloseHandle(made);
  EXPECT_TRUE(fs::exists(device.host("My Documents/New Clip.TXT")));  // the folder's case, the new name's case
  ASSERT_TRUE(CreateDirectoryW(u"\\MY DOCUMENTS\\Skins", nullptr));
  EXPECT_TRUE(fs::is_directory(device.host("My Documents/Skins")));
}

TEST(DeviceFiles, ListingFollowsPatternsAndReportsSizes) {
  TestDevice device;
  writeHostFile(device.host("My Documents/a.bfl"), "12345");
  writeHostFile(device.host("My Documents/B.BFL"), "");
  writeHostFile(device.host("My Documents/c.bfl.old"), "x");
  writeHostFile(device.host("My Documents/README"), "xy");
  fs::create_directory(device.host("My Documents/sub.bfl"));

  struct Case {
    const char16_t* pattern;
    std::vector<std::u16string> names;
  };
  const Case kCases[] = {
      {u"\\My Documents\\*.*", {u"B.BFL", u"README", u"a.bfl", u"c.bfl.old", u"sub.bfl"}},
      {u"\\My Documents\\*", {u"B.BFL", u"README", u"a.bfl", u"c.bfl.old", u"sub.bfl"}},
      {u"\\My Documents\\*.bfl", {u"B.BFL", u"a.bfl", u"sub.bfl"}},
      {u"\\My Documents\\?.bfl", {u"B.BFL", u"a.bfl"}},
      {u"\\My Documents\\readme.*", {u"README"}},  // ".*" also takes a name without extension
      {u"\\My Documents\\a.BFL", {u"a.bfl"}},
      {u"\\my documents\\*bfl*", {u"B.BFL", u"a.bfl", u"c.bfl.old", u"sub.bfl"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(toUtf8(c.pattern));
    DWORD end = 0;
    auto names = listNames(c.pattern, &end);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  }

  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(u"\\My Documents\\a.bfl", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(FindNextFileW(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  search = FindFirstFileW(u"\\My Documents\\sub.bfl", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(CloseHandle(search));  // a search ends with FindClose only
  EXPECT_TRUE(FindClose(search));

  struct Failure {
    const char16_t* pattern;
    DWORD error;
  };
  const Failure kFailures[] = {
      {u"\\My Documents\\*.swf", ERROR_FILE_NOT_FOUND},      {u"\\Missing\\*.*", ERROR_PATH_NOT_FOUND},
      {u"\\My Documents\\a.bfl\\*.*", ERROR_PATH_NOT_FOUND}, {u"\\My Documents\\", ERROR_FILE_NOT_FOUND},
      {u"\\My Documents\\a|b", ERROR_INVALID_NAME},          {u"\\..\\*.*", ERROR_ACCESS_DENIED},
  };
  for (const auto& f : kFailures) {
    SCOPED_TRACE(toUtf8(f.pattern));
    EXPECT_EQ(FindFirstFileW(f.pattern, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), f.error);
  }
}

TEST(DeviceFiles, ListingKeepsTheHostOrder) {
  TestDevice device;
  for (const char* name : {"m.swf", "a.swf", "z.swf", "k.swf", "b.swf", "q.swf"})
    writeHostFile(device.host(std::string("Temp/") + name), name);
  std::vector<std::u16string> hostOrder;
  DIR* dir = opendir(device.host("Temp").c_str());
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') hostOrder.push_back(fromUtf8(e->d_name));
  closedir(dir);
  EXPECT_EQ(listNames(u"\\Temp\\*.*"), hostOrder);
}

TEST(DeviceFiles, FailuresAnswerTheDevicesErrors) {
  TestDevice device;
  writeHostFile(device.host("Temp/file.txt"), "x");
  writeHostFile(device.host("Temp/full/inner.txt"), "x");
  struct Case {
    const char* what;
    std::function<BOOL()> call;
    DWORD error;
  };
  const Case kCases[] = {
      {"make an existing folder", [] { return CreateDirectoryW(u"\\temp", nullptr); }, ERROR_ALREADY_EXISTS},
      {"make the root", [] { return CreateDirectoryW(u"\\", nullptr); }, ERROR_ALREADY_EXISTS},
      {"make below a missing folder", [] { return CreateDirectoryW(u"\\Missing\\New", nullptr); },
       ERROR_PATH_NOT_FOUND},
      {"make a bad name", [] { return CreateDirectoryW(u"\\Temp\\a:b", nullptr); }, ERROR_INVALID_NAME},
      {"remove a full folder", [] { return RemoveDirectoryW(u"\\Temp\\Full"); }, ERROR_DIR_NOT_EMPTY},
      {"remove a missing folder", [] { return RemoveDirectoryW(u"\\Temp\\Gone"); }, ERROR_FILE_NOT_FOUND},
      {"remove a file as folder", [] { return RemoveDirectoryW(u"\\Temp\\file.txt"); }, ERROR_DIRECTORY},
      {"remove the root", [] { return RemoveDirectoryW(u"\\"); }, ERROR_ACCESS_DENIED},
      {"delete a missing file", [] { return DeleteFileW(u"\\Temp\\gone.txt"); }, ERROR_FILE_NOT_FOUND},
      {"delete below a missing folder", [] { return DeleteFileW(u"\\Gone\\gone.txt"); }, ERROR_PATH_NOT_FOUND},
      {"delete a folder", [] { return DeleteFileW(u"\\Temp\\full"); }, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    SetLastError(0);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(GetFileAttributesW(u"\\Temp\\gone.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\Gone\\gone.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  EXPECT_TRUE(fs::exists(device.host("Temp/full/inner.txt")));  // nothing was removed on the way
  EXPECT_TRUE(DeleteFileW(u"\\TEMP\\FULL\\INNER.TXT"));
  EXPECT_TRUE(RemoveDirectoryW(u"\\temp\\full"));
  EXPECT_FALSE(fs::exists(device.host("Temp/full")));
}

TEST(DeviceFiles, FilesReadWriteSeekAndReportSizes) {
  TestDevice device;
  HANDLE file = CreateFileW(u"\\Temp\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10u);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "3456");
  EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
  EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_CURRENT), 9u);
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "9");
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));  // end of file: success, nothing read
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);  // a failed seek leaves the position
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(ReadFile(file, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // Dispositions on an existing file.
  EXPECT_EQ(CreateFileW(u"\\temp\\DATA.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  file = CreateFileW(u"\\temp\\DATA.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);  // replaced
  EXPECT_FALSE(ReadFile(file, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(device.host("Temp/data.bin")));
  EXPECT_FALSE(fs::exists(device.host("Temp/DATA.bin")));

  file = CreateFileW(u"\\Temp\\fresh.txt", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(file);

  EXPECT_EQ(CreateFileW(u"\\Temp\\none.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileW(u"\\Temp", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(CreateFileW(u"\\Nope\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(DeviceFiles, PathsNeverLeaveTheDevice) {
  TestDevice device;
  fs::path outside = device.outside("outside");
  writeHostFile(outside / "victim.txt", "keep me");
  fs::create_directories(outside / "folder");
  fs::create_directory_symlink(outside, device.host("My Documents/escape"));
  fs::create_symlink(outside / "not-yet.txt", device.host("My Documents/dangling.txt"));
  fs::create_directory(device.outside("card"));
  fs::create_directory_symlink(outside, device.outside("card/out"));
  std::string error;
  ASSERT_TRUE(device.device().insertStorageCard(device.outside("card"), error));
  auto before = snapshot(device.outside(""));

  const char16_t* kEscapes[] = {
      u"\\..\\outside\\victim.txt",
      u"..\\outside\\victim.txt",
      u"\\My Documents\\..\\..\\outside\\victim.txt",
      u"\\My Documents\\escape\\victim.txt",
      u"\\my documents\\ESCAPE\\folder",
      u"\\My Documents\\dangling.txt",
      u"\\Storage Card\\..\\..\\outside\\victim.txt",
      u"\\Storage Card\\out\\victim.txt",
      u"\\.orvel\\registry.txt",
      u"\\.ORVEL",
  };
  for (const char16_t* path : kEscapes) {
    SCOPED_TRACE(toUtf8(path));
    std::u16string child = std::u16string(path) + u"\\new";
    WIN32_FIND_DATAW data;
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileW(child.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileW(path));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(RemoveDirectoryW(path));
    EXPECT_FALSE(CreateDirectoryW(child.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(FindFirstFileW((std::u16string(path) + u"\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    errno = 0;
    EXPECT_EQ(_wfopen(path, u"wb"), nullptr);
    EXPECT_EQ(errno, EACCES);
  }
  EXPECT_EQ(snapshot(device.outside("")), before);

  // The escaping links are left out of listings; the state folder is hidden.
  EXPECT_EQ(listNames(u"\\My Documents\\*.*"), std::vector<std::u16string>{});
  auto root = listNames(u"\\*");
  EXPECT_EQ(std::count(root.begin(), root.end(), u".orvel"), 0);

  // A link that stays inside the device is an ordinary folder.
  fs::create_directory_symlink(device.host("Temp"), device.host("My Documents/temp link"));
  writeHostFile(device.host("Temp/inside.txt"), "inside");
  EXPECT_EQ(readDeviceFile(u"\\My Documents\\Temp Link\\inside.txt"), "inside");
  EXPECT_EQ(listNames(u"\\My Documents\\*.*"), std::vector<std::u16string>{u"temp link"});
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\..\\Temp\\inside.txt"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST(DeviceFiles, StorageCardIsAHostFolder) {
  TestDevice device;
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\clip.swf"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  writeHostFile(device.outside("card/Movies/clip.swf"), "CWS");
  std::string error;
  ASSERT_TRUE(device.device().insertStorageCard(device.outside("card"), error));
  EXPECT_FALSE(device.device().insertStorageCard(device.outside("no such folder"), error));
  EXPECT_FALSE(error.empty());

  EXPECT_EQ(readDeviceFile(u"\\storage card\\movies\\CLIP.SWF"), "CWS");
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
  auto root = listNames(u"\\*.*");
  EXPECT_EQ(std::count(root.begin(), root.end(), u"Storage Card"), 1);
  EXPECT_EQ(listNames(u"\\Storage Card\\Movies\\*.swf"), std::vector<std::u16string>{u"clip.swf"});
  EXPECT_FALSE(RemoveDirectoryW(u"\\Storage Card"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  HANDLE made = CreateFileW(u"\\Storage Card\\new.bfl", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  CloseHandle(made);
  EXPECT_TRUE(fs::exists(device.outside("card/new.bfl")));
  EXPECT_FALSE(fs::exists(device.host("Storage Card")));

  device.device().removeStorageCard();
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), INVALID_FILE_ATTRIBUTES);
}

TEST(DeviceFiles, PersonalFolderIsMyDocuments) {
  TestDevice device;
  WCHAR path[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\My Documents");

  fs::remove(device.host("My Documents"));
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_FALSE(fs::exists(device.host("My Documents")));
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, TRUE));
  EXPECT_TRUE(fs::is_directory(device.host("My Documents")));
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7777, TRUE));
}

TEST(DeviceFiles, RuntimeOpenTakesDevicePaths) {
  TestDevice device;
  writeHostFile(device.host("My Documents/movie.swf"), std::string("FWS\x06\0\0\0\0", 8));
  FILE* in = _wfopen(u"\\MY DOCUMENTS\\Movie.swf", u"rb");
  ASSERT_NE(in, nullptr);
  char header[9] = {};
  EXPECT_EQ(std::fread(header, 1, 8, in), 8u);
  std::fclose(in);
  EXPECT_EQ(std::string(header, 8), std::string("FWS\x06\0\0\0\0", 8));

  // Narrow paths are in the ANSI code page: 0xE9 is "é" in 1252.
  FILE* out = fopenDevice("\\My Documents\\caf\xE9.bfl", "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("<playlist/>", out);
  std::fclose(out);
  EXPECT_EQ(readHostFile(device.host("My Documents/caf\xC3\xA9.bfl")), "<playlist/>");
  in = fopenDevice("\\my documents\\CAF\xC9.BFL", "r");  // "É": found ignoring case
  ASSERT_NE(in, nullptr);
  std::fclose(in);

  // A pipe is refused at once, never waited on; the other end is held open
  // so that a wrong answer shows as a stream rather than a hang.
  ASSERT_EQ(mkfifo(device.host("My Documents/pipe.swf").c_str(), 0600), 0);
  HostDescriptor pipeEnds(open(device.host("My Documents/pipe.swf").c_str(), O_RDWR | O_NONBLOCK));

  struct Failure {
    const char16_t* path;
    const char16_t* mode;
    int error;
  };
  const Failure kFailures[] = {
      {u"\\My Documents\\pipe.swf", u"rb", EACCES},
      {u"\\MY DOCUMENTS\\PIPE.SWF", u"r", EACCES},  // found by name, not in one step
      {u"\\My Documents\\missing.bskn", u"r", ENOENT},
      {u"\\Missing\\new.bin", u"wb", ENOENT},
      {u"\\My Documents", u"rb", EACCES},
      {u"\\My Documents\\movie.swf", u"q", EINVAL},
      {u"\\My Documents\\movie.swf", u"rx", EINVAL},
  };
  for (const auto& f : kFailures) {
    SCOPED_TRACE(toUtf8(f.path) + " " + toUtf8(f.mode));
    errno = 0;
    EXPECT_EQ(_wfopen(f.path, f.mode), nullptr);
    EXPECT_EQ(errno, f.error);
  }
}

// A file opened for reading is read from its start, from the bytes read
// with the open and from the host file beyond them, at whatever position
// the reader seeks to, buffered or not.
TEST(DeviceFiles, RuntimeReadsFollowTheReadersPosition) {
  TestDevice device;
  std::string bytes(1300, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  writeHostFile(device.host("Temp/long.bin"), bytes);
  writeHostFile(device.host("Temp/short.bin"), "short");

  struct Step {
    long offset;
    int whence;
    size_t count;
    long position;  // where the read starts; -1: the seek fails
  };
  const Step kSteps[] = {
      {0, SEEK_CUR, 300, 0},      // within the bytes read with the open
      {0, SEEK_CUR, 400, 300},    // across their end
      {0, SEEK_CUR, 900, 700},    // beyond them, short at the end of the file
      {10, SEEK_SET, 5, 10},      // back into them
      {-20, SEEK_END, 50, 1280},  // from the end
      {600, SEEK_SET, 1, 600},   {-3, SEEK_CUR, 2, 598},
      {-1, SEEK_SET, 0, -1},  // before the start: refused, the position stays
      {0, SEEK_CUR, 1, 600},
  };
  for (bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "unbuffered");
    FileHandle file(_wfopen(u"\\temp\\LONG.bin", u"rb"));
    ASSERT_TRUE(file);
    if (!buffered) std::setvbuf(file.get(), nullptr, _IONBF, 0);
    for (const Step& step : kSteps) {
      SCOPED_TRACE(std::to_string(step.offset) + " from " + std::to_string(step.whence));
      ASSERT_EQ(std::fseek(file.get(), step.offset, step.whence), step.position < 0 ? -1 : 0);
      if (step.position < 0) continue;
      EXPECT_EQ(std::ftell(file.get()), step.position);
      std::string got(step.count, '\0');
      got.resize(std::fread(got.data(), 1, step.count, file.get()));
      EXPECT_EQ(got, bytes.substr(static_cast<size_t>(step.position), step.count));
    }
    EXPECT_EQ(std::fputc('x', file.get()), EOF) << "opened for reading only";
  }
  FileHandle file(_wfopen(u"\\Temp\\short.bin", u"r"));
  ASSERT_TRUE(file);
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, file.get()), 5u);
  EXPECT_TRUE(std::feof(file.get()));
  EXPECT_STREQ(text, "short");
}

TEST(DeviceFiles, RenamesKeepOneFileUnderEachName) {
  TestDevice device;
  struct Case {
    const char* what;
    std::function<BOOL()> call;
    DWORD error;                     // 0: succeeds
    std::vector<std::string> after;  // the host names of Temp afterwards
    const char* b = "old";           // what b.txt holds afterwards
  };
  const Case kCases[] = {
      {"move to a new name", [] { return MoveFileW(u"\\Temp\\a.txt", u"\\Temp\\c.txt"); }, 0, {"b.txt", "c.txt"}},
      {"move onto another file",
       [] { return MoveFileW(u"\\Temp\\a.txt", u"\\Temp\\B.TXT"); },
       ERROR_ALREADY_EXISTS,
       {"a.txt", "b.txt"}},
      {"move to another case", [] { return MoveFileW(u"\\Temp\\a.txt", u"\\Temp\\A.txt"); }, 0, {"A.txt", "b.txt"}},
      {"move a missing file",
       [] { return MoveFileW(u"\\Temp\\x.txt", u"\\Temp\\y.txt"); },
       ERROR_FILE_NOT_FOUND,
       {"a.txt", "b.txt"}},
      {"move to a bad name",
       [] { return MoveFileW(u"\\Temp\\a.txt", u"\\Temp\\a?.txt"); },
       ERROR_INVALID_NAME,
       {"a.txt", "b.txt"}},
      {"replace a file", [] { return DeleteAndRenameFile(u"\\Temp\\B.txt", u"\\Temp\\a.txt"); }, 0, {"b.txt"}, "new"},
      {"replace a missing file",
       [] { return DeleteAndRenameFile(u"\\Temp\\c.txt", u"\\Temp\\a.txt"); },
       ERROR_FILE_NOT_FOUND,
       {"a.txt", "b.txt"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(device.host("Temp"));
    writeHostFile(device.host("Temp/a.txt"), "new");
    writeHostFile(device.host("Temp/b.txt"), "old");
    SetLastError(0);
    EXPECT_EQ(c.call(), c.error == 0);
    if (c.error) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(device.host("Temp"))) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.after);
    EXPECT_EQ(readDeviceFile(u"\\Temp\\b.txt"), c.b);
  }
}
