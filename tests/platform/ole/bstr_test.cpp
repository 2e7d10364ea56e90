#include <gtest/gtest.h>

#include <cstring>

#include "base/widestring.h"
#include "platform/ole/oleauto.h"

namespace {

TEST(Bstr, CarriesItsByteLengthBeforeTheCharacters) {
  BSTR s = SysAllocString(u"Movie");
  ASSERT_NE(s, nullptr);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  EXPECT_EQ(s[5], 0);
  EXPECT_EQ(WideString(s), u"Movie");
  SysFreeString(s);
}

TEST(Bstr, LengthCountsEmbeddedNullsAndNullIsEmpty) {
  const WCHAR text[] = {u'a', 0, u'b'};
  BSTR s = SysAllocStringLen(text, 3);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[2], u'b');
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(SysStringLen(zeroed), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(zeroed[i], 0);
  SysFreeString(zeroed);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);  // harmless

  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(Bstr, RefusesALengthItsPrefixCannotHold) { EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr); }

}  // namespace
