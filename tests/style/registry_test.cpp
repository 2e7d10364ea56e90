#include <gtest/gtest.h>

#include "style/csskeywords.h"
#include "style/cssproperties.h"
#include "style/propertyregistry.h"

namespace {

TEST(PropertyRegistry, StaticNamesHoldIdsInTableOrder) {
  makePropertyRegistry();
  PropertyRegistry& registry = propertyRegistry();
  const std::pair<const char*, int> kIds[] = {
      {"background-color", 1}, {"border-top-color", 10}, {"color", 27},   {"font-family", 36},
      {"width", 89},           {"z-index", 91},          {"background", 92}, {"padding", 105},
      {"scrollbar-face-color", 106}, {"-konq-flow-mode", 113},
  };
  for (const auto& [name, id] : kIds) {
    SCOPED_TRACE(name);
    EXPECT_EQ(registry.lookup(toWide(name)), id);
    EXPECT_EQ(registry.nameOf(id), toWide(name));
  }
  EXPECT_EQ(registry.bucketCount(), 200);
  EXPECT_GE(registry.count(), css::kStaticPropertyCount);
}

TEST(PropertyRegistry, NewNamesTakeTheNextIdAndKeepIt) {
  PropertyRegistry registry(200);
  for (std::string_view name : css::kStaticPropertyNames) registry.registerName(toWide(name));
  EXPECT_EQ(registry.lookup(u"id"), 0);
  EXPECT_EQ(registry.idOf(u"id"), 114);
  EXPECT_EQ(registry.idOf(u"fill"), 115);
  EXPECT_EQ(registry.idOf(u"id"), 114);
  EXPECT_EQ(registry.registerName(u"fill"), 115);  // no second record for a known name
  EXPECT_EQ(registry.idOf(u"Color"), 116);         // names are case-sensitive
  EXPECT_EQ(registry.lookup(u"color"), 27);
  EXPECT_EQ(registry.count(), 116);
}

TEST(PropertyRegistry, BucketCountBelowOneGivesTheDefault) {
  EXPECT_EQ(PropertyRegistry(0).bucketCount(), 67);
  EXPECT_EQ(PropertyRegistry(-3).bucketCount(), 67);
  EXPECT_EQ(PropertyRegistry(1).bucketCount(), 1);
}

TEST(PropertyRegistry, HashIsThreeHPlusCOverTheBytes) {
  // "ab": h = (3 * 97 + 98) mod 7 = 389 mod 7 = 4; "b" alone: 98 mod 7 = 0.
  PropertyRegistry registry(7);
  registry.registerName(u"ab");
  registry.registerName(u"b");
  // A name hashing to 4: "\x04".
  EXPECT_EQ(registry.bucketLength(DomString(1, u'\x04')), 1u);
  EXPECT_EQ(registry.bucketLength(u"\x07"), 1u);  // 7 mod 7 = 0, shared with "b"
  EXPECT_EQ(registry.bucketLength(u"\x01"), 0u);
}

TEST(PropertyRegistry, DistinctNonAsciiAndLongNamesStayDistinct) {
  PropertyRegistry registry(200);
  int a = registry.idOf(u"f\u00e9");
  int b = registry.idOf(u"f\u00e8");
  EXPECT_NE(a, b);
  DomString longA(150, u'x'), longB(150, u'x');
  longB.back() = u'y';
  EXPECT_NE(registry.idOf(longA), registry.idOf(longB));
  EXPECT_EQ(registry.nameOf(a), u"f\u00e9");
}

TEST(Keywords, EveryKeywordMatchesItsOwnId) {
  for (size_t i = 0; i < css::kKeywordNames.size(); ++i) {
    SCOPED_TRACE(css::kKeywordNames[i]);
    EXPECT_EQ(css::keywordId(toWide(css::kKeywordNames[i])), static_cast<int>(i + 1));
  }
}

TEST(Keywords, OtherTextsMatchNothing) {
  for (const char* text : {"", "no", "xx", "Bold", "bold ", "boldd", "inheritt", "-konq-around-floatsx", "1000",
                           "table-column-groupxyz"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(css::keywordId(toWide(text)), 0);
  }
  EXPECT_EQ(css::keywordId(u"b\u00f6ld"), 0);
  EXPECT_EQ(css::keywordId(u"-konq-around-floats"), 180);  // 19 characters
  EXPECT_EQ(css::keywordId(u"decimal-leading-zero"), 85);
}

}  // namespace
