// Code pages: the device's ANSI page, round trips, lead bytes, bad input.
#include <gtest/gtest.h>

#include <string>

#include "platform/core/utf8.h"
#include "platform/core/winnls.h"
#include "tests/support/testdevice.h"

namespace {

std::u16string toWideIn(UINT cp, const std::string& bytes, DWORD flags = MB_PRECOMPOSED) {
  int units = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(units), u'\0');
  if (units) MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units);
  return units ? wide : u"<fail>";
}

std::string toBytesIn(UINT cp, const std::u16string& wide, BOOL* usedDefault = nullptr,
                      const char* defaultChar = nullptr) {
  int bytes =
      WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, defaultChar, usedDefault);
  std::string narrow(static_cast<size_t>(bytes), '\0');
  if (bytes)
    WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), bytes, defaultChar,
                        usedDefault);
  return bytes ? narrow : "<fail>";
}

}  // namespace

TEST(CodePages, AnsiCodePageIsTheDevicesOwn) {
  {
    TestDevice device;
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(toWideIn(CP_ACP, "\x80"), u"\u20AC");
  }
  DeviceConfig japanese;
  japanese.ansiCodePage = 932;
  TestDevice device(japanese);
  EXPECT_EQ(GetACP(), 932u);
  EXPECT_EQ(toWideIn(CP_ACP, "\x82\xA0"), u"\u3042");
  EXPECT_EQ(ansiToWide("\x93\xfa\x96\x7b"), u"\u65E5\u672C");
  EXPECT_EQ(wideToAnsi(u"\u65E5\u672C.swf"), "\x93\xfa\x96\x7b.swf");
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize, 2u);
}

TEST(CodePages, RoundTrips) {
  TestDevice device;
  struct Case {
    UINT cp;
    std::string bytes;
    std::u16string wide;
  };
  const Case kCases[] = {
      {1252, "Caf\xE9 \x80", u"Caf\u00E9 \u20AC"},
      {1252, "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},  // passed through as the device does
      {1250, "\x8A\xB9", u"\u0160\u0105"},
      {1251, "\xC0\xFF", u"\u0410\u044F"},
      {1253, "\xC1", u"\u0391"},
      {1255, "\xE0", u"\u05D0"},
      {1256, "\xC7", u"\u0627"},
      {874, "\xA1", u"\u0E01"},
      {932, "\x82\xA0\x5C", u"\u3042\\"},  // 0x5C stays a backslash: paths depend on it
      {932, "\xB1", u"\uFF71"},            // half-width katakana: one byte
      {932, "\x81\x40", u"\u3000"},
      {936, "\xC4\xE3\xBA\xC3", u"\u4F60\u597D"},
      {949, "\xB0\xA1", u"\uAC00"},
      {950, "\xA4\xA4", u"\u4E2D"},
      {65001, "\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u20AC\xD83D\xDE00"},
      {20127, "plain", u"plain"},
      {949, "\\My Documents\\~a.swf", u"\\My Documents\\~a.swf"},  // ASCII reads the same in every page
      {28591, "\xE9", u"\u00E9"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.cp) + " " + toUtf8(c.wide));
    EXPECT_EQ(toWideIn(c.cp, c.bytes, c.cp == 65001 ? 0 : MB_PRECOMPOSED | MB_ERR_INVALID_CHARS), c.wide);
    EXPECT_EQ(toBytesIn(c.cp, c.wide), c.bytes);
  }
}

TEST(CodePages, InvalidInputIsRefusedOrReplaced) {
  TestDevice device;
  struct Case {
    UINT cp;
    std::string bytes;
    std::u16string lenient;  // without MB_ERR_INVALID_CHARS
  };
  const Case kCases[] = {
      {932, "a\x82", u"a\u30FB"},     // a lead byte with nothing after it
      {932, "\x85\x40", u"\u30FB@"},  // an unassigned double-byte pair
      {936, "\xC4", u"?"},
      {65001, "\xC3", u"\uFFFD"},                      // cut short
      {65001, "\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong slash
      {65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {20127, "\xE9", u"?"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.cp));
    SetLastError(0);
    EXPECT_EQ(
        MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()), nullptr, 0),
        0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(toWideIn(c.cp, c.bytes, 0), c.lenient);
  }

  // Characters the page cannot hold become its default character.
  BOOL used = FALSE;
  EXPECT_EQ(toBytesIn(1252, u"A\u0100B", &used), "A?B");
  EXPECT_TRUE(used);
  EXPECT_EQ(toBytesIn(1252, u"A\u4E2D", &used, "*"), "A*");
  EXPECT_EQ(toBytesIn(1252, u"plain", &used), "plain");
  EXPECT_FALSE(used);
  EXPECT_EQ(toBytesIn(932, u"\xD83D\xDE00x"), "?x");  // a pair is one character
  EXPECT_EQ(toBytesIn(65001,
                      u"a\xD800"
                      u"b"),
            "a\xEF\xBF\xBD"
            "b");  // a lone surrogate
  EXPECT_EQ(WideCharToMultiByte(65001, WC_ERR_INVALID_CHARS, u"\xD800", 1, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 0, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePages, BufferSizes) {
  TestDevice device;
  // -1 counts the terminator.
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(936, 0, u"\u4F60a", -1, nullptr, 0, nullptr, nullptr), 4);
  struct Case {
    int size;
    int result;
    DWORD error;
  };
  const Case kCases[] = {{4, 4, ERROR_SUCCESS},
                         {10, 4, ERROR_SUCCESS},
                         {3, 0, ERROR_INSUFFICIENT_BUFFER},
                         {1, 0, ERROR_INSUFFICIENT_BUFFER}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.size);
    WCHAR wide[10];
    char narrow[10];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, c.size), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(936, 0, u"\u4F60a", -1, narrow, c.size, nullptr, nullptr), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    char ascii[10];
    BOOL usedDefault = TRUE;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", -1, ascii, c.size, "?", &usedDefault), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_FALSE(usedDefault);
    if (c.result) {
      EXPECT_STREQ(ascii, "abc");
    }
    if (c.result) {
      EXPECT_EQ(std::u16string(wide), u"abc");
      EXPECT_EQ(std::string(narrow),
                "\xC4\xE3"
                "a");
    }
  }
}

TEST(CodePages, CodePageInformation) {
  TestDevice device;
  struct Case {
    UINT cp;
    UINT maxCharSize;
    std::vector<BYTE> leadBytes;
  };
  const Case kCases[] = {
      {1252, 1, {}},          {874, 1, {}},           {932, 2, {0x81, 0x9F, 0xE0, 0xFC}},
      {936, 2, {0x81, 0xFE}}, {949, 2, {0x81, 0xFE}}, {950, 2, {0x81, 0xFE}},
      {65001, 4, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.cp);
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(c.cp, &info));
    EXPECT_EQ(info.MaxCharSize, c.maxCharSize);
    EXPECT_EQ(info.DefaultChar[0], '?');
    std::vector<BYTE> ranges;
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
      ranges.insert(ranges.end(), {info.LeadByte[i], info.LeadByte[i + 1]});
    EXPECT_EQ(ranges, c.leadBytes);
    EXPECT_EQ(info.LeadByte[c.leadBytes.size()], 0);  // the closing zero pair
    EXPECT_EQ(info.LeadByte[c.leadBytes.size() + 1], 0);
  }
  CPINFO info;
  EXPECT_FALSE(GetCPInfo(42424, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The XML loader builds its byte map from GetCPInfo and single-byte calls:
// every byte that is not a lead byte must convert to exactly one unit, and a
// lead byte alone must be refused.
TEST(CodePages, SingleBytesMatchTheLeadByteRanges) {
  TestDevice device;
  for (UINT cp : {874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u}) {
    SCOPED_TRACE(cp);
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(cp, &info));
    int leads = 0, singles = 0, c1 = 0;
    for (int b = 1; b < 256; ++b) {
      char byte = static_cast<char>(b);
      WCHAR unit[4];
      int n = MultiByteToWideChar(cp, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, &byte, 1, unit, 4);
      if (IsDBCSLeadByteEx(cp, static_cast<BYTE>(b))) {
        ++leads;
        EXPECT_EQ(n, 0) << "lead byte " << b;
      } else if (n == 1) {
        ++singles;
        if (b >= 0x80 && b <= 0x9F) ++c1;
      }
    }
    if (info.MaxCharSize == 1) {
      EXPECT_EQ(leads, 0);
      if (cp >= 1250) {
        EXPECT_EQ(c1, 32);  // the Windows pages pass their undefined 0x80-0x9F bytes through
      }
    } else {
      EXPECT_GE(leads, 60);
      EXPECT_GE(singles, 127);  // at least ASCII
    }
  }
}
