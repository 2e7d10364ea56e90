// The edit box's caret: where keys, taps and new text put it, what Backspace
// and Delete take, and the line it draws while the box has the focus.

#include <string>
#include <vector>

#include "platform/commctrl/viewparts.h"
#include "platform/core/utf8.h"
#include "tests/platform/commctrl/viewfixture.h"

namespace {

constexpr int kMargin = 3;  // the box's text starts this far inside its left edge
constexpr RECT kBox{10, 10, 130, 30};

class EditBoxes : public Views {
 protected:
  HWND makeBox(const char16_t* text, DWORD style = 0) {
    HWND edit = CreateWindowExW(0, u"EDIT", text, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | style, kBox.left, kBox.top,
                                kBox.right - kBox.left, kBox.bottom - kBox.top, m_owner, nullptr, nullptr, nullptr);
    EXPECT_TRUE(edit);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(commctrl::dialogFont()), FALSE);
    SetFocus(edit);
    return edit;
  }
  static std::u16string textOf(HWND edit) {
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(edit)), u'\0');
    GetWindowTextW(edit, text.data(), static_cast<int>(text.size()) + 1);
    return text;
  }
  static DWORD caretOf(HWND edit) {
    DWORD start = 99, end = 98;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end) << "no range is selected";
    return end;
  }
  // Black pixels in one column of the box's client area.
  int inkInColumn(HWND edit, int x) {
    int ink = 0;
    for (int y = 1; y < kBox.bottom - kBox.top - 1; ++y) ink += pixel(edit, POINT{x, y}) == 0 ? 1 : 0;
    return ink;
  }
};

// A step: a key pressed on the device's keyboard, a character typed, or a tap
// aimed at the boundary after that many characters of the text as it stands.
struct Step {
  enum Kind { Key, Char, TapAfter } kind;
  int value;
};

TEST_F(EditBoxes, KeysTapsAndTypingWorkAtTheCaret) {
  struct Case {
    const char* name;
    const char16_t* text;
    DWORD style;
    std::vector<Step> steps;
    const char16_t* after;
    DWORD caret;
  };
  const Case cases[] = {
      {"typing goes after the text it starts with", u"Trip", 0, {{Step::Char, '!'}}, u"Trip!", 5},
      {"Home, then typing in front", u"Trip", 0, {{Step::Key, VK_HOME}, {Step::Char, 'A'}}, u"ATrip", 1},
      {"Backspace takes the character before the caret",
       u"Trip",
       0,
       {{Step::Key, VK_LEFT}, {Step::Key, VK_LEFT}, {Step::Char, VK_BACK}},
       u"Tip",
       1},
      {"Delete takes the one after it",
       u"Trip",
       0,
       {{Step::Key, VK_HOME}, {Step::Key, VK_DELETE}, {Step::Key, VK_RIGHT}, {Step::Char, 'x'}},
       u"rxip",
       2},
      {"nothing to take or pass at either end",
       u"ab",
       0,
       {{Step::Key, VK_DELETE},
        {Step::Key, VK_RIGHT},
        {Step::Key, VK_HOME},
        {Step::Char, VK_BACK},
        {Step::Key, VK_LEFT}},
       u"ab",
       0},
      {"End after Home", u"ab", 0, {{Step::Key, VK_HOME}, {Step::Key, VK_END}, {Step::Char, 'c'}}, u"abc", 3},
      {"a surrogate pair is one step and one deletion",
       u"a\U0001F600b",
       0,
       {{Step::Key, VK_LEFT}, {Step::Key, VK_LEFT}, {Step::Key, VK_DELETE}},
       u"ab",
       1},
      {"Backspace after a pair takes both halves", u"a\U0001F600", 0, {{Step::Char, VK_BACK}}, u"a", 1},
      {"a tap between letters", u"Trip", 0, {{Step::TapAfter, 2}, {Step::Char, '-'}}, u"Tr-ip", 3},
      {"a tap at the start", u"Trip", 0, {{Step::TapAfter, 0}, {Step::Char, '-'}}, u"-Trip", 1},
      {"a tap past the end", u"Trip", 0, {{Step::Key, VK_HOME}, {Step::TapAfter, 30}}, u"Trip", 4},
      {"read-only: the caret moves, the text stays",
       u"Trip",
       ES_READONLY,
       {{Step::Key, VK_LEFT}, {Step::Char, VK_BACK}, {Step::Key, VK_DELETE}, {Step::Char, 'x'}},
       u"Trip",
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND edit = makeBox(c.text, c.style);
    for (const Step& step : c.steps) {
      if (step.kind == Step::Key) {
        key(step.value);
      } else if (step.kind == Step::Char) {
        SendMessageW(edit, WM_CHAR, static_cast<WPARAM>(step.value), 0);
      } else {
        std::u16string text = textOf(edit);
        size_t length = std::min<size_t>(static_cast<size_t>(step.value), text.size());
        int width = commctrl::textWidth(commctrl::dialogFont(), text.substr(0, length));
        tap(edit, POINT{kMargin + width + (step.value > static_cast<int>(text.size()) ? 40 : 1), 10});
      }
    }
    EXPECT_EQ(toUtf8(textOf(edit)), toUtf8(c.after));
    EXPECT_EQ(caretOf(edit), c.caret);
    DestroyWindow(edit);
  }
}

TEST_F(EditBoxes, TheCaretIsDrawnWhileFocusedAndALongLineSlidesToKeepItInView) {
  HWND edit = makeBox(u"ab  ");
  int end = kMargin + commctrl::textWidth(commctrl::dialogFont(), u"ab  ");
  EXPECT_GE(inkInColumn(edit, end), 10) << "the caret after the text";
  SetFocus(m_owner);
  EXPECT_EQ(inkInColumn(edit, end), 0) << "no caret without the focus";

  std::u16string longText(60, u'w');
  SetWindowTextW(edit, longText.c_str());
  SetFocus(edit);
  const int room = kBox.right - kBox.left - 2 * kMargin - 1;
  EXPECT_GE(inkInColumn(edit, kMargin + room), 10) << "the caret at the end stays inside the box";
  key(VK_HOME);
  EXPECT_GE(inkInColumn(edit, kMargin), 10) << "Home slides the line back";
  tap(edit, POINT{kMargin + room - 1, 10});
  key(VK_END);
  EXPECT_EQ(caretOf(edit), 60u);
  EXPECT_EQ(pixel(edit, POINT{1, 10}), 0xFFFFFFu) << "the slid line is cut at the margin";
  key(VK_BACK);
  EXPECT_EQ(textOf(edit).size(), 59u);
  EXPECT_GE(inkInColumn(edit, kMargin + room), 10) << "the line slid back as it shrank";
}

}  // namespace
