// The properties page's text: the time estimate, the path split and the
// template of string 40008 filled in.

#include <gtest/gtest.h>

#include "app/propertiespage.h"
#include "platform/core/utf8.h"
#include "resources/playerresources.h"

namespace {

TEST(PropertiesPage, EstimatesTheTimeFromFramesAndRate) {
  struct Row {
    int frames, rate;
    const char16_t* time;
  };
  for (Row row : {Row{300, 12, u"00:25"}, Row{4000, 1, u"66:40"}, Row{300, 0, u"00:00"}, Row{-3, 12, u"00:00"},
                  Row{11, 12, u"00:00"}, Row{360000, 1, u"6000:00"}}) {
    SCOPED_TRACE(testing::Message() << row.frames << " at " << row.rate);
    EXPECT_EQ(estimatedTime(row.frames, row.rate), row.time);
  }
}

TEST(PropertiesPage, FillsTheTemplateWithTheMoviesFacts) {
  registerPlayerResources(nullptr);
  LPCWSTR raw = nullptr;
  int length = LoadStringW(nullptr, playerres::kPropertiesTemplate, reinterpret_cast<LPWSTR>(&raw), 0);
  ASSERT_GT(length, 0);
  const std::u16string pageTemplate(raw, static_cast<size_t>(length));
  const std::u16string longFolder = u"\\" + std::u16string(1500, u'x');
  struct Row {
    const char* name;
    PropertiesFacts facts;
    std::vector<std::u16string> shows;
  };
  const Row rows[] = {
      {"a movie in a folder",
       {u"\\My Documents\\Flash\\a.swf", u"windows-1252", 6, 300, 12, 7},
       {u"charset=windows-1252\">", u"width=\"100%\"", u"<td  bgcolor=\"#C0C0C0\" >a.swf&nbsp; </td>",
        u"<td  bgcolor=\"#C0C0C0\" >\\My Documents\\Flash&nbsp; </td>", u">6&nbsp; </td>", u">300&nbsp; </td>",
        u">12 frames/s </td>", u">00:25&nbsp; </td>", u">7&nbsp; </td>"}},
      {"no movie yet", {u"", u"", 0, -1, 0, -1}, {u">00:00&nbsp; </td>", u">0 frames/s </td>", u"charset=\">"}},
      {"a name that looks like markup",
       {u"\\a<b>&c.swf", u"", 0, 4000, 1, 0},
       {u">a&lt;b&gt;&amp;c.swf&nbsp; </td>", u">66:40&nbsp; </td>"}},
      {"a path longer than the old formatting buffer",
       {longFolder + u"\\long.swf", u"", 0, 1, 1, 0},
       {u">long.swf&nbsp; </td>", longFolder + u"&nbsp; </td>", u"</html>\n"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::u16string page = propertiesPage(pageTemplate, row.facts);
    for (const std::u16string& shown : row.shows)
      EXPECT_NE(page.find(shown), std::u16string::npos) << toUtf8(shown) << "\n" << toUtf8(page);
    EXPECT_TRUE(page.ends_with(u"</html>\n"));
  }
}

}  // namespace
