// The registry: calls, buffer sizes, persistence, processes, crashes, damage.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/registry.h"
#include "platform/core/utf8.h"
#include "platform/core/winreg.h"
#include "tests/support/testdevice.h"

namespace fs = std::filesystem;

namespace {

// An open key that closes itself.
class Key {
 public:
  Key() = default;
  explicit Key(HKEY key) : m_key(key) {}
  ~Key() {
    if (m_key) RegCloseKey(m_key);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &m_key; }
  operator HKEY() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

LONG setString(HKEY key, const char16_t* name, std::u16string_view text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                        static_cast<DWORD>((text.size() + 1) * 2));
}

LONG setDword(HKEY key, const char16_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::u16string readString(HKEY key, const char16_t* name) {
  WCHAR buffer[512];
  DWORD size = sizeof buffer, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) != ERROR_SUCCESS)
    return u"<missing>";
  return std::u16string(buffer, size / 2 ? size / 2 - 1 : 0);
}

DWORD readDword(HKEY key, const char16_t* name) {
  DWORD value = 0, size = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS)
    return 0xDEADBEEF;
  return value;
}

// Runs `body` in a child process with its own view of the device (its own
// store and lock), as another program of the device would; answers its exit code.
template <class F>
int inChildProcess(const fs::path& folder, F body) {
  pid_t pid = fork();
  if (pid == 0) {
    std::string error;
    auto own = Device::open(folder, error);
    if (!own) _exit(100);
    exchangeCurrentDevice(std::move(own)).release();  // the parent's object is not ours to free
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::u16string toUtf16Name(const char* prefix, int i) { return fromUtf8(prefix + std::to_string(i)); }

}  // namespace

TEST(Registry, ValuesKeepTheirTypeAndBytes) {
  TestDevice device;
  Key key;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"software\\Orvelflash", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.out(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const BYTE binary[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(setString(key, u"skin", u"\\My Documents\\OrvelFlash\\skins\\default.bskn"), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"showTip", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"blob", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"odd", 0, REG_SZ, binary, 3), ERROR_SUCCESS);  // stored as given
  ASSERT_EQ(setString(key, nullptr, u"default"), ERROR_SUCCESS);

  struct Case {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  };
  std::u16string skin = u"\\My Documents\\OrvelFlash\\skins\\default.bskn";
  std::vector<BYTE> skinBytes(reinterpret_cast<const BYTE*>(skin.c_str()),
                              reinterpret_cast<const BYTE*>(skin.c_str() + skin.size() + 1));
  const Case kCases[] = {
      {u"SKIN", REG_SZ, skinBytes},
      {u"showtip", REG_DWORD, {1, 0, 0, 0}},
      {u"blob", REG_BINARY, {0, 1, 2, 0xFF}},
      {u"odd", REG_SZ, {0, 1, 2}},
      {u"", REG_SZ, {'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0, 'l', 0, 't', 0, 0, 0}},
  };
  // Read through a second, freshly opened device: what counts is the disk.
  std::string error;
  auto reopened = Device::open(device.root(), error);
  ASSERT_TRUE(reopened);
  auto previous = exchangeCurrentDevice(std::move(reopened));
  Key again;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\ORVELFLASH", 0, KEY_READ, again.out()), ERROR_SUCCESS);
  for (const auto& c : kCases) {
    SCOPED_TRACE(toUtf8(c.name));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(again, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    ASSERT_EQ(size, c.bytes.size());
    std::vector<BYTE> bytes(size);
    ASSERT_EQ(RegQueryValueExW(again, c.name, nullptr, &type, bytes.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(bytes, c.bytes);
  }
  EXPECT_EQ(readString(again, u"Skin"), skin);
  exchangeCurrentDevice(std::move(previous));

  Key same;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\OrvelFlash", 0, nullptr, 0, 0, nullptr, same.out(), &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegQueryValueExW(key, u"absent", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExW(key, u"bad", 0, REG_DWORD, binary, 3), ERROR_INVALID_PARAMETER);
}

TEST(Registry, SmallBuffersAnswerMoreDataAndStayUnfilled) {
  TestDevice device;
  Key key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Test", 0, nullptr, 0, 0, nullptr, key.out(), nullptr), ERROR_SUCCESS);
  ASSERT_EQ(setString(key, u"name", u"abcdef"), ERROR_SUCCESS);  // 14 bytes with the terminator
  struct Case {
    DWORD size;
    LONG status;
    DWORD sizeAfter;
    bool filled;
  };
  const Case kCases[] = {
      {14, ERROR_SUCCESS, 14, true},    {64, ERROR_SUCCESS, 14, true},   {13, ERROR_MORE_DATA, 14, false},
      {12, ERROR_MORE_DATA, 14, false}, {0, ERROR_MORE_DATA, 14, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.size);
    BYTE buffer[64];
    std::memset(buffer, 0xAB, sizeof buffer);
    DWORD size = c.size, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"name", nullptr, &type, buffer, &size), c.status);
    EXPECT_EQ(size, c.sizeAfter);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(buffer[0], c.filled ? 'a' : 0xAB);
  }
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 14u);
}

TEST(Registry, EnumerationEndsAndRefusesShortBuffers) {
  TestDevice device;
  Key parent;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Enum", 0, nullptr, 0, 0, nullptr, parent.out(), nullptr),
            ERROR_SUCCESS);
  for (const char16_t* name : {u"beta", u"Alpha", u"a-very-long-subkey-name-beyond-32-units"}) {
    Key child;
    WCHAR className[] = u"cls";
    ASSERT_EQ(RegCreateKeyExW(parent, name, 0, className, 0, 0, nullptr, child.out(), nullptr), ERROR_SUCCESS);
  }
  struct Case {
    DWORD index;
    DWORD bufferLength;
    LONG status;
    std::u16string name;
  };
  const Case kCases[] = {
      {0, 32, ERROR_MORE_DATA, u""},  // the long name does not fit 32 units
      {0, 39, ERROR_MORE_DATA, u""},  // 39 units: no room for the terminator
      {0, 40, ERROR_SUCCESS, u"a-very-long-subkey-name-beyond-32-units"},
      {1, 32, ERROR_SUCCESS, u"Alpha"},
      {2, 32, ERROR_SUCCESS, u"beta"},
      {2, 4, ERROR_MORE_DATA, u""},
      {2, 5, ERROR_SUCCESS, u"beta"},
      {3, 32, ERROR_NO_MORE_ITEMS, u""},
      {99, 32, ERROR_NO_MORE_ITEMS, u""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.index * 100 + c.bufferLength);
    WCHAR name[64] = {};
    DWORD length = c.bufferLength;
    EXPECT_EQ(RegEnumKeyExW(parent, c.index, name, &length, nullptr, nullptr, nullptr, nullptr), c.status);
    if (c.status == ERROR_SUCCESS) {
      EXPECT_EQ(std::u16string(name), c.name);
      EXPECT_EQ(length, c.name.size());
    }
  }
  WCHAR name[64], className[16];
  DWORD length = 64, classLength = 16;
  ASSERT_EQ(RegEnumKeyExW(parent, 1, name, &length, nullptr, className, &classLength, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(className), u"cls");
}

TEST(Registry, DeletingKeysAndValues) {
  TestDevice device;
  Key key, inner;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, u"Doomed\\Inner\\Deeper", 0, nullptr, 0, 0, nullptr, inner.out(), nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"doomed", 0, 0, key.out()), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"v", 7), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"V"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"V"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"nothing here"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"DOOMED"), ERROR_SUCCESS);  // with everything below it
  Key gone;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Doomed\\Inner", 0, 0, gone.out()), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(setDword(inner, u"late", 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

  HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(bogus, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  HKEY closed;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"MIME", 0, 0, &closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
}

TEST(Registry, SeededCodePageDatabase) {
  TestDevice device;
  Key database;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"MIME\\Database\\Codepage", 0, KEY_READ, database.out()), ERROR_SUCCESS);
  // The fill of the skin engine's charset table: enumerate with 32 units, open, read both values.
  std::vector<std::pair<int, std::u16string>> charsets;
  for (DWORD index = 0;; ++index) {
    WCHAR name[32];
    DWORD length = 32;
    LONG status = RegEnumKeyExW(database, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    Key page;
    ASSERT_EQ(RegOpenKeyExW(database, name, 0, KEY_READ, page.out()), ERROR_SUCCESS);
    WCHAR body[31], description[63];
    DWORD bodySize = sizeof body, descriptionSize = sizeof description;
    ASSERT_EQ(RegQueryValueExW(page, u"BodyCharset", nullptr, nullptr, reinterpret_cast<LPBYTE>(body), &bodySize),
              ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExW(page, u"Description", nullptr, nullptr, reinterpret_cast<LPBYTE>(description),
                               &descriptionSize),
              ERROR_SUCCESS);
    EXPECT_GT(descriptionSize, 2u);
    charsets.emplace_back(std::stoi(toUtf8(name)), body);
  }
  for (int required :
       {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591, 65001}) {
    SCOPED_TRACE(required);
    auto it = std::find_if(charsets.begin(), charsets.end(), [&](const auto& c) { return c.first == required; });
    EXPECT_NE(it, charsets.end());
  }
  auto charsetOf = [&](int cp) {
    auto it = std::find_if(charsets.begin(), charsets.end(), [&](const auto& c) { return c.first == cp; });
    return it == charsets.end() ? std::u16string() : it->second;
  };
  EXPECT_EQ(charsetOf(936), u"gb2312");
  EXPECT_EQ(charsetOf(1252), u"Windows-1252");
  EXPECT_EQ(charsetOf(65001), u"utf-8");
  // Each name leads back to one code page, so a document declared in it decodes as written.
  for (const auto& charset : charsets) {
    SCOPED_TRACE(charset.first);
    const std::u16string& body = charset.second;
    EXPECT_EQ(std::count_if(charsets.begin(), charsets.end(), [&](const auto& c) { return c.second == body; }), 1);
  }
}

TEST(RegistryText, RoundTripsEveryShapeOfData) {
  RegTree tree;
  bool created;
  RegKey& odd = tree.root(RegRoot::CurrentUser).subkey(u"we%ird]key [x]", created);
  odd.className = u"class \"quoted\"";
  std::u16string tricky = u"quote\" backslash\\ tab\t newline\n \u00E9\u4E2D \xD83D\xDE00 lone\xD800 end";
  std::vector<BYTE> trickyBytes;
  for (char16_t c : tricky) trickyBytes.insert(trickyBytes.end(), {BYTE(c & 0xFF), BYTE(c >> 8)});
  trickyBytes.insert(trickyBytes.end(), {0, 0});
  odd.setValue(tricky, REG_SZ, trickyBytes);
  odd.setValue(u"", REG_SZ, {0, 0});
  odd.setValue(u"empty binary", REG_BINARY, {});
  odd.setValue(u"odd sz", REG_SZ, {'a', 0, 'b'});
  odd.setValue(u"inner zero", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0});
  odd.setValue(u"multi", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
  odd.setValue(u"expand", REG_EXPAND_SZ, {'%', 0, 0, 0});
  odd.setValue(u"short dword", REG_DWORD, {1, 2});
  odd.setValue(u"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
  odd.subkey(u"empty child", created);
  tree.root(RegRoot::LocalMachine).subkey(u"\u00C4pfel\x01", created);

  std::string text = formatRegistry(tree);
  RegTree back;
  std::string error;
  ASSERT_TRUE(parseRegistry(text, back, error)) << error << "\n" << text;
  EXPECT_EQ(formatRegistry(back), text);
  const RegKey* key = back.root(RegRoot::CurrentUser).findSubkey(u"WE%IRD]KEY [X]");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->className, u"class \"quoted\"");
  ASSERT_NE(key->findValue(tricky), nullptr);
  EXPECT_EQ(key->findValue(tricky)->data, trickyBytes);
  EXPECT_EQ(key->findValue(u"short dword")->data, (std::vector<BYTE>{1, 2}));
  EXPECT_EQ(key->findValue(u"short dword")->type, REG_DWORD);
  EXPECT_EQ(key->findValue(u"inner zero")->data, (std::vector<BYTE>{'a', 0, 0, 0, 'b', 0, 0, 0}));
  EXPECT_NE(key->findSubkey(u"empty child"), nullptr);
  EXPECT_NE(back.root(RegRoot::LocalMachine).findSubkey(u"\u00E4pfel\x01"), nullptr);
}

TEST(RegistryText, RefusesDamagedFiles) {
  const std::string kHeader = "OrvelFlash device registry 1\n";
  struct Case {
    const char* what;
    std::string text;
  };
  const Case kCases[] = {
      {"empty", ""},
      {"not a registry", "hello\nend\n"},
      {"cut short", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=dword:00000001\n"},
      {"cut in a line", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=dwo"},
      {"bad root", kHeader + "[HKEY_NOWHERE\\a]\nend\n"},
      {"bad hex", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=hex:0G\nend\n"},
      {"trailing comma", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=hex:01,\nend\n"},
      {"bad dword", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=dword:123\nend\n"},
      {"value outside a key", kHeader + "\"v\"=dword:00000001\nend\n"},
      {"unterminated string", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=sz:\"abc\nend\n"},
      {"bad escape", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=sz:\"a\\qb\"\nend\n"},
      {"value twice", kHeader + "[HKEY_CURRENT_USER\\a]\n\"v\"=sz:\"a\"\n\"V\"=sz:\"b\"\nend\n"},
      {"text after end", kHeader + "end\n[HKEY_CURRENT_USER\\a]\n"},
      {"bad utf-8", kHeader + "[HKEY_CURRENT_USER\\a\xFF]\nend\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    RegTree tree;
    std::string error;
    EXPECT_FALSE(parseRegistry(c.text, tree, error));
    EXPECT_FALSE(error.empty());
  }
  RegTree tree;
  std::string error;
  EXPECT_TRUE(parseRegistry(kHeader + "; a comment\n\n[HKEY_CURRENT_USER\\a]\r\n@=sz:\"x\"\r\nend\n", tree, error))
      << error;
}

TEST(Registry, UnreadableFileIsMovedAsideAndReplaced) {
  TestDevice device;
  fs::path file = device.device().registry().file();
  writeHostFile(file, "this is not a registry");
  std::string error;
  auto reopened = Device::open(device.root(), error);
  ASSERT_TRUE(reopened);
  auto previous = exchangeCurrentDevice(std::move(reopened));
  testing::internal::CaptureStderr();
  Key key;
  LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, u"MIME\\Database\\Codepage\\1252", 0, 0, key.out());
  std::string warning = testing::internal::GetCapturedStderr();
  exchangeCurrentDevice(std::move(previous));

  EXPECT_EQ(status, ERROR_SUCCESS);  // a fresh seeded registry
  EXPECT_NE(warning.find("could not be read"), std::string::npos) << warning;
  std::vector<fs::path> aside;
  for (auto& entry : fs::directory_iterator(file.parent_path()))
    if (entry.path().filename().string().starts_with("registry.txt.unreadable-")) aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(readHostFile(aside[0]), "this is not a registry");  // kept, not deleted
  RegTree tree;
  EXPECT_TRUE(parseRegistry(readHostFile(file), tree, error)) << error;
}

// A scratch device skips only the waits for the disk: what it writes is in the
// file for the next opening, which is an ordinary device again.
TEST(Registry, AScratchDeviceKeepsWhatItWrites) {
  DeviceConfig config;
  config.scratch = true;
  TestDevice device(config);
  Key key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Scratch", 0, nullptr, 0, 0, nullptr, key.out(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"kept", 7), ERROR_SUCCESS);
  std::string error;
  auto reopened = Device::open(device.root(), error);
  ASSERT_TRUE(reopened) << error;
  EXPECT_FALSE(reopened->config().scratch);
  RegTree tree;
  ASSERT_TRUE(parseRegistry(readHostFile(reopened->registry().file()), tree, error)) << error;
  EXPECT_NE(formatRegistry(tree).find("kept"), std::string::npos);
}

TEST(Registry, ProcessesSeeEachOthersChanges) {
  TestDevice device;
  Key key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Shared", 0, nullptr, 0, 0, nullptr, key.out(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"fromParent", 1), ERROR_SUCCESS);
  int code = inChildProcess(device.root(), [] {
    HKEY shared;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"shared", 0, 0, &shared) != ERROR_SUCCESS) return 1;
    if (readDword(shared, u"fromParent") != 1) return 2;
    return setDword(shared, u"fromChild", 2) == ERROR_SUCCESS ? 0 : 3;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(readDword(key, u"fromChild"), 2u);  // this process reloads what the child wrote

  // Two processes writing at once lose nothing: each reloads before it writes.
  constexpr int kWrites = 60;
  pid_t pid = fork();
  if (pid == 0) {
    std::string error;
    auto own = Device::open(device.root(), error);
    exchangeCurrentDevice(std::move(own)).release();
    HKEY shared;
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Shared", 0, 0, &shared);
    for (int i = 0; i < kWrites; ++i) setDword(shared, toUtf16Name("child", i).c_str(), i);
    _exit(0);
  }
  for (int i = 0; i < kWrites; ++i) setDword(key, toUtf16Name("parent", i).c_str(), i);
  int status = 0;
  waitpid(pid, &status, 0);
  for (int i = 0; i < kWrites; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(readDword(key, toUtf16Name("child", i).c_str()), static_cast<DWORD>(i));
    EXPECT_EQ(readDword(key, toUtf16Name("parent", i).c_str()), static_cast<DWORD>(i));
  }
}

// A file replaced outside the device's lock (by hand, or restored from a
// copy) is read again, though no writer moved the generation.
TEST(Registry, AFileReplacedBehindTheLockIsReadAgain) {
  TestDevice device;
  Key key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Edited", 0, nullptr, 0, 0, nullptr, key.out(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"value", 1), ERROR_SUCCESS);
  ASSERT_EQ(readDword(key, u"value"), 1u);
  fs::path file = device.device().registry().file();
  RegTree tree;
  std::string error;
  ASSERT_TRUE(parseRegistry(readHostFile(file), tree, error)) << error;
  tree.root(RegRoot::CurrentUser).findSubkey(u"Edited")->setValue(u"value", REG_DWORD, {7, 0, 0, 0});
  fs::path edited = file;
  edited += ".edited";
  writeHostFile(edited, formatRegistry(tree));
  fs::rename(edited, file);
  EXPECT_EQ(readDword(key, u"value"), 7u);
}

TEST(Registry, KilledWriterLeavesOldOrNewRegistry) {
  TestDevice device;
  fs::path file = device.device().registry().file();
  std::mt19937 random(12345);
  DWORD lastSeen = 0;
  constexpr int kRounds = 12;
  constexpr DWORD kBlobSize = 64 * 1024;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
      std::string error;
      auto own = Device::open(device.root(), error);
      exchangeCurrentDevice(std::move(own)).release();
      HKEY key;
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Crash", 0, nullptr, 0, 0, nullptr, &key, nullptr);
      std::vector<BYTE> blob(kBlobSize);
      const DWORD first = lastSeen + 1;  // each writer goes on from what the last one left
      for (DWORD n = first;; ++n) {
        // One value per write: a counter followed by bytes that all repeat it.
        std::memcpy(blob.data(), &n, 4);
        std::memset(blob.data() + 4, static_cast<int>(n & 0xFF), kBlobSize - 4);
        RegSetValueExW(key, u"blob", 0, REG_BINARY, blob.data(), kBlobSize);
        if (n == first && write(ready[1], "!", 1) != 1) _exit(1);  // killed from now on, mid-sequence
      }
    }
    char signal;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    close(ready[0]);
    close(ready[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);

    RegTree tree;
    std::string error;
    ASSERT_TRUE(parseRegistry(readHostFile(file), tree, error)) << error;
    const RegKey* crash = tree.root(RegRoot::LocalMachine).findSubkey(u"Crash");
    ASSERT_TRUE(crash && crash->findValue(u"blob"));
    const auto& data = crash->findValue(u"blob")->data;
    ASSERT_EQ(data.size(), kBlobSize);
    DWORD n;
    std::memcpy(&n, data.data(), 4);
    EXPECT_TRUE(std::all_of(data.begin() + 4, data.end(), [&](BYTE b) { return b == (n & 0xFF); }));
    EXPECT_GT(n, lastSeen);  // the writer's first change was on disk before it was killed
    lastSeen = n;
  }
  // The device still works after all those kills.
  Key key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Crash", 0, 0, key.out()), ERROR_SUCCESS);
  EXPECT_EQ(setDword(key, u"after", 1), ERROR_SUCCESS);
}
