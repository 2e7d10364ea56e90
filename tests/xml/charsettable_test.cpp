// The code-page table read from the device's MIME database, and the
// unknown-encoding handler built on it.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/core/winreg.h"
#include "tests/support/testdevice.h"
#include "xml/charsettable.h"

namespace {

const char16_t kCodepageKey[] = u"MIME\\Database\\Codepage";

void setString(const WideString& keyPath, const char16_t* name, const WideString& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
}

WideString codePageKey(const std::string& name) { return WideString(kCodepageKey) + u"\\" + toWide(name); }

void addCodePage(const std::string& name, const char* charset, const char* description) {
  if (charset) setString(codePageKey(name), u"BodyCharset", toWide(charset));
  if (description) setString(codePageKey(name), u"Description", toWide(description));
}

const CharsetEntry* findEntry(const CharsetTable& table, std::int32_t codePage) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].codePage == codePage) return &table[i];
  }
  return nullptr;
}

TEST(CharsetTable, FillsFromTheDevicesMimeDatabase) {
  TestDevice device;
  CharsetTable table;
  table.fill();
  ASSERT_GE(table.size(), 20u);
  const CharsetEntry* gb = findEntry(table, 936);
  ASSERT_NE(gb, nullptr);
  EXPECT_EQ(WideString(gb->bodyCharset), u"gb2312");
  EXPECT_EQ(WideString(gb->description), u"Chinese Simplified (GB2312)");
  EXPECT_EQ(table.codePageForCharset(u"GB2312"), 936);
  EXPECT_EQ(table.codePageForCharset(u"windows-1252"), 1252);
  EXPECT_EQ(table.codePageForCharset(u"Shift_JIS"), 932);
  EXPECT_EQ(table.codePageForCharset(u"gb231"), 0);
  EXPECT_EQ(table.codePageForCharset(u""), 0);
}

TEST(CharsetTable, FillingAgainReplacesTheEntries) {
  TestDevice device;
  CharsetTable table;
  table.fill();
  const std::size_t first = table.size();
  table.fill();
  EXPECT_EQ(table.size(), first);
}

TEST(CharsetTable, StaysEmptyWithoutTheDatabase) {
  TestDevice device;
  ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, kCodepageKey), ERROR_SUCCESS);
  CharsetTable table;
  table.fill();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(table.codePageForCharset(u"gb2312"), 0);
}

TEST(CharsetTable, LeavesOutKeysItCannotUse) {
  struct Row {
    const char* keyName;
    const char* charset;
    const char* description;
    std::int32_t codePage;  // looked for afterwards
    bool kept;
  };
  const std::string longName(40, '7');
  const std::string charset30(30, 'c');
  const std::string charset31(31, 'd');  // 64 bytes with its terminator
  const std::string description62(62, 'e');
  const std::string description63(63, 'f');
  const Row rows[] = {
      {"50001", "x-first", "First", 50001, true},
      {"50002", "x-no-description", nullptr, 50002, false},
      {"50003", nullptr, "No charset", 50003, false},
      {"0", "x-zero", "Zero", 0, false},
      {"-5", "x-negative", "Negative", -5, false},
      {"12abc", "x-letters", "Letters", 12, false},
      {"99999999999", "x-overflow", "Overflow", 1215752191, false},
      {longName.c_str(), "x-long-name", "Long name", 0, false},
      {"50004", charset30.c_str(), "Thirty", 50004, true},
      {"50005", charset31.c_str(), "Thirty-one", 50005, false},
      {"50006", "x-desc62", description62.c_str(), 50006, true},
      {"50007", "x-desc63", description63.c_str(), 50007, false},
      {"50008", "x-last", "Last", 50008, true},
  };
  TestDevice device;
  for (const Row& row : rows) addCodePage(row.keyName, row.charset, row.description);
  CharsetTable table;
  table.fill();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keyName);
    const CharsetEntry* entry = findEntry(table, row.codePage);
    EXPECT_EQ(entry != nullptr, row.kept);
    if (entry && row.charset) {
      EXPECT_EQ(WideString(entry->bodyCharset), toWide(row.charset));
    }
    if (entry && row.description) {
      EXPECT_EQ(WideString(entry->description), toWide(row.description));
    }
  }
  // The long subkey name is skipped, not the end of the list.
  EXPECT_EQ(table.codePageForCharset(u"x-long-name"), 0);
  EXPECT_EQ(table.codePageForCharset(u"x-last"), 50008);
  EXPECT_EQ(table.codePageForCharset(u"x-letters"), 0);
}

TEST(CharsetForCodePage, ReadsTheRegistryEachTime) {
  TestDevice device;
  EXPECT_EQ(charsetForCodePage(936), u"gb2312");
  EXPECT_EQ(charsetForCodePage(1252), u"Windows-1252");
  EXPECT_EQ(charsetForCodePage(12345), u"");
  EXPECT_EQ(charsetForCodePage(0), u"");
  addCodePage("936", "GBK", nullptr);
  EXPECT_EQ(charsetForCodePage(936), u"GBK");
  addCodePage("50010", std::string(63, 'a').c_str(), nullptr);
  EXPECT_EQ(charsetForCodePage(50010), toWide(std::string(63, 'a')));
  addCodePage("50011", std::string(64, 'a').c_str(), nullptr);
  EXPECT_EQ(charsetForCodePage(50011), u"");
}

// ---- the unknown-encoding handler

class UnknownEncoding : public ::testing::Test {
 protected:
  void SetUp() override { fillCharsetTable(); }
  void TearDown() override { release(); }
  void release() {
    if (m_info.release) m_info.release(m_info.data);
    m_info.release = nullptr;
  }
  // Each description owns its conversion data until the next one.
  int describe(const char16_t* name) {
    release();
    std::memset(&m_info, 0, sizeof m_info);
    return unknownEncodingHandler(nullptr, reinterpret_cast<const XML_Char*>(name), &m_info);
  }
  int convert(const char* twoBytes) { return m_info.convert(m_info.data, twoBytes); }

  TestDevice m_device;
  XML_Encoding m_info{};
};

TEST_F(UnknownEncoding, MapsSingleByteCodePages) {
  ASSERT_EQ(describe(u"WINDOWS-1252"), XML_STATUS_OK);
  const std::pair<int, int> bytes[] = {{'A', 'A'}, {'<', '<'}, {0x80, 0x20AC}, {0x81, 0x81}, {0xE9, 0xE9}, {0, 0}};
  for (auto [byte, code] : bytes) {
    SCOPED_TRACE(byte);
    EXPECT_EQ(m_info.map[byte], code);
  }
  ASSERT_EQ(describe(u"windows-1251"), XML_STATUS_OK);
  EXPECT_EQ(m_info.map[0xC0], 0x0410);  // CYRILLIC CAPITAL LETTER A
  ASSERT_EQ(describe(u"koi8-r"), XML_STATUS_OK);
  EXPECT_EQ(m_info.map[0xE1], 0x0410);
}

TEST_F(UnknownEncoding, MarksLeadBytesOfDoubleByteCodePages) {
  struct Row {
    const char16_t* name;
    int leadByte;
    int singleByte;
    int singleCode;
    const char* pair;
    int pairCode;
  };
  const Row rows[] = {
      {u"gb2312", 0x81, 'a', 'a', "\xB0\xA1", 0x554A},
      {u"shift_jis", 0xE0, 0xB1, 0xFF71, "\x82\xA0", 0x3042},
      {u"big5", 0xFE, '1', '1', "\xA4\x40", 0x4E00},
      {u"ks_c_5601-1987", 0xB0, 'z', 'z', "\xB0\xA1", 0xAC00},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.name));
    ASSERT_EQ(describe(row.name), XML_STATUS_OK);
    EXPECT_EQ(m_info.map[row.leadByte], -2);
    EXPECT_EQ(m_info.map[row.singleByte], row.singleCode);
    EXPECT_EQ(convert(row.pair), row.pairCode);
    EXPECT_EQ(convert("\x81\x0A"), -1);  // a line feed is never a trail byte
    if (m_info.release) m_info.release(m_info.data);
    m_info.release = nullptr;
  }
  ASSERT_EQ(describe(u"shift_jis"), XML_STATUS_OK);
  EXPECT_EQ(m_info.map[0xA0], -1);  // neither a character nor a lead byte
  EXPECT_EQ(m_info.map[0x9F], -2);
}

TEST_F(UnknownEncoding, RefusesWhatItCannotDescribe) {
  EXPECT_EQ(describe(u"x-unknown"), XML_STATUS_ERROR);
  EXPECT_EQ(describe(u""), XML_STATUS_ERROR);
  EXPECT_EQ(describe(u"utf-8"), XML_STATUS_ERROR);  // characters up to four bytes long
  // A database entry for a code page the device cannot convert.
  addCodePage("50020", "x-unconvertible", "None");
  fillCharsetTable();
  EXPECT_EQ(describe(u"x-unconvertible"), XML_STATUS_ERROR);
}

}  // namespace
