#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "style/csskeywords.h"
#include "style/cssproperties.h"
#include "style/propertyregistry.h"

namespace {

TEST(PropertyRegistry, StaticNamesHoldIdsInTableOrder) {
  makePropertyRegistry();
  PropertyRegistry& registry = propertyRegistry();
  const std::pair<const char*, int> kIds[] = {
      {"background-color", 1},
      {"border-top-color", 10},
      {"color", 27},
      {"font-family", 36},
      {"width", 89},
      {"z-index", 91},
      {"background", 92},
      {"padding", 105},
      {"scrollbar-face-color", 106},
      {"-konq-flow-mode", 113},
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

// The bucket of a key as the rule gives it: reduced after every byte.
size_t bucketByTheRule(const std::string& key, int buckets) {
  size_t h = 0;
  for (unsigned char c : key) h = (3 * h + c) % static_cast<size_t>(buckets);
  return h;
}

TEST(PropertyRegistry, LongAndNonAsciiKeysHashByTheSameRule) {
  // Keys long enough for 3^n to overflow 64 bits, and keys past the stack
  // buffer of a lookup, land where reducing after every byte puts them.
  const DomString names[] = {DomString(40, u'z'), DomString(63, u'q'),     DomString(64, u'q'),
                             DomString(65, u'q'), DomString(300, u'\x7f'), u"f\u00e9" + DomString(70, u'a'),
                             u"stroke-dasharray"};
  for (int buckets : {7, 67, 200, 251}) {
    for (const DomString& name : names) {
      SCOPED_TRACE(toNarrowAscii(DomString(name.begin(), name.begin() + std::min<size_t>(name.size(), 20))));
      PropertyRegistry registry(buckets);
      const std::string key = PropertyRegistry::keyOf(name);
      // A short ASCII name that the rule puts in the same bucket shares it.
      const size_t bucket = bucketByTheRule(key, buckets);
      DomString partner;
      for (char16_t a = 1; a < 0x80 && partner.empty(); ++a) {
        for (char16_t b = 1; b < 0x80 && partner.empty(); ++b) {
          const DomString candidate{a, b};
          if (bucketByTheRule(PropertyRegistry::keyOf(candidate), buckets) == bucket) partner = candidate;
        }
      }
      ASSERT_FALSE(partner.empty());
      registry.registerName(name);
      EXPECT_EQ(registry.bucketLength(partner), 1u);
      EXPECT_NE(registry.lookup(name), 0);
    }
  }
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

TEST(Keywords, AnyLetterCaseMatchesWhenAskedTo) {
  const struct {
    const char16_t* text;
    int id;
  } kCases[] = {
      {u"Bold", 22},     {u"INHERIT", 1}, {u"-Konq-Around-Floats", 180}, {u"bold ", 0},
      {u"b\u00d6ld", 0}, {u"BO", 0},      {u"DECIMAL-LEADING-ZERO", 85}, {u"decimal-leading-zeros", 0},
      {u"X-LARGE", 39},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(toNarrowAscii(DomString(c.text)));
    EXPECT_EQ(css::keywordIdIgnoringCase(c.text), c.id);
  }
  EXPECT_EQ(css::keywordIdIgnoringCase(DomString(22, u'A')), 0);  // longer than any keyword
}

}  // namespace
