#include "base/widestring.h"

#include <gtest/gtest.h>

#include "base/ownerlist.h"
#include "base/pointerlist.h"

namespace {

struct CaseRow {
  std::u16string a, b;
  bool equal;
};

TEST(WideString, IgnoringCaseFoldsTheWholeBasicPlane) {
  const CaseRow rows[] = {
      {u"Movie", u"MOVIE", true},
      {u".SWF", u".swf", true},
      {u"\u00e9t\u00e9", u"\u00c9T\u00c9", true},                        // Latin-1 accents
      {u"\u0444\u043b\u044d\u0448", u"\u0424\u041b\u042d\u0428", true},  // Cyrillic
      {u"\u03b1\u03b2", u"\u0391\u0392", true},                          // Greek
      {u"\uff41", u"\uff21", true},                                      // full-width a / A
      {u"play", u"plays", false},
      {u"a[", u"A{", false},  // '[' and '{' are not letters
      {u"", u"", true},
      {u"\u017fvg", u"SVG", true},  // long s folds to an ASCII letter
      {u"\u0131d", u"ID", true},    // so does dotless i
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.a) + " / " + toNarrowAscii(row.b));
    EXPECT_EQ(equalsIgnoreCase(row.a, row.b), row.equal);
    EXPECT_EQ(_wcsicmp(row.a.c_str(), row.b.c_str()) == 0, row.equal);
  }
  EXPECT_LT(compareIgnoreCase(u"abc", u"ABD"), 0);
  EXPECT_GT(compareIgnoreCase(u"abcd", u"ABC"), 0);
  // Every pair of ASCII units orders as the device orders it.
  for (char16_t a = 1; a < 0x80; ++a) {
    for (char16_t b = 1; b < 0x80; ++b) {
      const char16_t left[] = {a, 0}, right[] = {b, 0};
      const int ours = compareIgnoreCase(left, right), device = _wcsicmp(left, right);
      ASSERT_EQ(ours < 0, device < 0) << int(a) << " " << int(b);
      ASSERT_EQ(ours == 0, device == 0) << int(a) << " " << int(b);
    }
  }
  EXPECT_TRUE(endsWithIgnoreCase(u"\\My Documents\\a.SwF", u".swf"));
  EXPECT_FALSE(endsWithIgnoreCase(u"swf", u".swf"));
}

TEST(WideString, FormatsTheSystemsFormats) {
  EXPECT_EQ(formatWide(u"%s\\%s", u"\\Windows", u"a.swf"), u"\\Windows\\a.swf");
  EXPECT_EQ(formatWide(u"%s, %d", u"x", -42), u"x, -42");
  EXPECT_EQ(formatWide(u"%02d:%02d", 5, 123), u"05:123");
  EXPECT_EQ(formatWide(u"100%%"), u"100%");
  EXPECT_EQ(formatWide(u"[%5s|%-4d|%05d]", u"ab", 7, -12), u"[   ab|7   |-0012]");
  EXPECT_EQ(formatWide(u"%x %X %u %c", 255u, 255u, 4000000000u, 'Q'), u"ff FF 4000000000 Q");
  EXPECT_EQ(formatWide(u"%.3s%S", u"abcdef", "narrow"), u"abcnarrow");

  WCHAR buffer[1100];
  std::u16string longText(2000, u'x');
  EXPECT_EQ(wsprintfW(buffer, u"%s", longText.c_str()), 1023);  // the device's limit
  EXPECT_EQ(buffer[1023], 0);
}

TEST(WideString, ReadIntegerConsumesSignAndDigitsOnly) {
  struct Row {
    std::u16string text;
    bool read;
    int value;             // the value read, or what it was (7) when nothing was
    std::u16string after;  // what the reader leaves
  };
  const Row rows[] = {
      {u"42;", true, 42, u";"},
      {u"-17x", true, -17, u"x"},
      {u"+5", true, 5, u""},
      {u"2147483647", true, 2147483647, u""},
      {u"99999999999999999999 ", true, 2147483647, u" "},  // held at the limit, every digit consumed
      {u"-2147483648", true, -2147483647 - 1, u""},
      {u"-99999999999", true, -2147483647 - 1, u""},
      {u"+", false, 7, u"+"},    // a sign alone is no number
      {u" 3", false, 7, u" 3"},  // blanks are the caller's to skip
      {u"", false, 7, u""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(toNarrowAscii(row.text));
    WideStringView text = row.text;
    int value = 7;
    EXPECT_EQ(readInteger(text, value), row.read);
    EXPECT_EQ(value, row.value);
    EXPECT_EQ(text, row.after);
  }
}

TEST(OwnerList, HandsOutPlainPointersAndGivesUpWhatIsTaken) {
  struct Tracked {
    Tracked(int i, std::vector<int>* g) : id(i), gone(g) {}
    ~Tracked() { gone->push_back(id); }
    int id;
    std::vector<int>* gone;
  };
  std::vector<int> gone;
  {
    OwnerList<Tracked> list;
    Tracked* first = list.add(std::make_unique<Tracked>(1, &gone));
    list.add(std::make_unique<Tracked>(2, &gone));
    list.add(std::make_unique<Tracked>(3, &gone));
    std::vector<int> walked;
    for (Tracked* t : list) walked.push_back(t->id);
    EXPECT_EQ(walked, (std::vector<int>{1, 2, 3}));
    std::unique_ptr<Tracked> taken = list.take(first);
    ASSERT_EQ(taken.get(), first);
    EXPECT_EQ(list.count(), 2u);
    EXPECT_EQ(list.take(first), nullptr);  // no longer held
    EXPECT_TRUE(gone.empty());
    taken.reset();
    EXPECT_EQ(gone, std::vector<int>{1});
  }
  EXPECT_EQ(gone, (std::vector<int>{1, 2, 3}));  // the list deleted the rest
}

TEST(PointerList, GrowsByAThirdAndStaysNullTerminated) {
  PointerList<int> list;
  int values[40];
  std::vector<size_t> capacities;
  for (int& v : values) {
    ASSERT_TRUE(list.add(&v));
    if (capacities.empty() || capacities.back() != list.capacity()) capacities.push_back(list.capacity());
    ASSERT_EQ(list.data()[list.count()], nullptr);
  }
  // 10, then grown when one free slot is left: 10 + 3 + 1, 14 + 4 + 1, ...
  EXPECT_EQ(capacities, (std::vector<size_t>{10, 14, 19, 26, 35, 47}));
  EXPECT_EQ(list.count(), 40u);

  list.removeAt(0);
  EXPECT_EQ(list[0], &values[1]);
  EXPECT_EQ(list.data()[39], nullptr);
  EXPECT_TRUE(list.remove(&values[39]));
  EXPECT_FALSE(list.remove(&values[39]));
  EXPECT_EQ(list.count(), 38u);
  EXPECT_EQ(list[38], nullptr);  // out of range answers null
}

}  // namespace
