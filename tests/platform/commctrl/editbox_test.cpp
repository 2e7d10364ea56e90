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
    EXPECT_EQ(start, end) << "nothing is selected";
    return end;
  }
  // Pixels of the selection's highlight in the box.
  int highlighted(HWND edit) {
    int count = 0;
    for (int y = 0; y < kBox.bottom - kBox.top; ++y)
      for (int x = 0; x < kBox.right - kBox.left; ++x) count += pixel(edit, POINT{x, y}) == 0x003399u ? 1 : 0;
    return count;
  }
  // A point just right of the boundary after `length` characters; well past the end for a longer length.
  static int xAfter(HWND edit, int length) {
    std::u16string text = textOf(edit);
    if (length > static_cast<int>(text.size())) return kMargin + commctrl::textWidth(commctrl::dialogFont(), text) + 40;
    return kMargin + commctrl::textWidth(commctrl::dialogFont(), text.substr(0, static_cast<size_t>(length))) + 1;
  }
  // Black pixels in one column of the box's client area.
  int inkInColumn(HWND edit, int x) {
    int ink = 0;
    for (int y = 1; y < kBox.bottom - kBox.top - 1; ++y) ink += pixel(edit, POINT{x, y}) == 0 ? 1 : 0;
    return ink;
  }
};

// A step: a key pressed on the device's keyboard (alone or with Shift), a
// character typed, a tap aimed at the boundary after that many characters of
// the text as it stands, a drag between two such boundaries, or EM_SETSEL
// from `value` to `to`.
struct Step {
  enum Kind { Key, ShiftKey, Char, TapAfter, Drag, Select } kind;
  int value;
  int to = 0;
};

TEST_F(EditBoxes, KeysTapsAndTypingWorkAtTheCaretAndOnTheSelection) {
  struct Case {
    const char* name;
    const char16_t* text;
    DWORD style;
    std::vector<Step> steps;
    const char16_t* after;
    DWORD start, end;  // the selection afterwards; equal when only the caret stands
  };
  const Case cases[] = {
      {"typing goes after the text it starts with", u"Trip", 0, {{Step::Char, '!'}}, u"Trip!", 5, 5},
      {"Home, then typing in front", u"Trip", 0, {{Step::Key, VK_HOME}, {Step::Char, 'A'}}, u"ATrip", 1, 1},
      {"Backspace takes the character before the caret",
       u"Trip",
       0,
       {{Step::Key, VK_LEFT}, {Step::Key, VK_LEFT}, {Step::Char, VK_BACK}},
       u"Tip",
       1,
       1},
      {"Delete takes the one after it",
       u"Trip",
       0,
       {{Step::Key, VK_HOME}, {Step::Key, VK_DELETE}, {Step::Key, VK_RIGHT}, {Step::Char, 'x'}},
       u"rxip",
       2,
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
       0,
       0},
      {"a surrogate pair is one step and one deletion",
       u"a\U0001F600b",
       0,
       {{Step::Key, VK_LEFT}, {Step::Key, VK_LEFT}, {Step::Key, VK_DELETE}},
       u"ab",
       1,
       1},
      {"Backspace after a pair takes both halves", u"a\U0001F600", 0, {{Step::Char, VK_BACK}}, u"a", 1, 1},
      {"a tap between letters", u"Trip", 0, {{Step::TapAfter, 2}, {Step::Char, '-'}}, u"Tr-ip", 3, 3},
      {"a tap at the start", u"Trip", 0, {{Step::TapAfter, 0}, {Step::Char, '-'}}, u"-Trip", 1, 1},
      {"a tap past the end", u"Trip", 0, {{Step::Key, VK_HOME}, {Step::TapAfter, 30}}, u"Trip", 4, 4},
      {"all selected, typing replaces it", u"Trip", 0, {{Step::Select, 0, -1}, {Step::Char, 'x'}}, u"x", 1, 1},
      {"a selection made backwards", u"Trip", 0, {{Step::Select, 3, 1}}, u"Trip", 1, 3},
      {"a start of -1 keeps only the caret", u"Trip", 0, {{Step::Select, 0, 2}, {Step::Select, -1, 0}}, u"Trip", 2, 2},
      {"Shift+Home, then Backspace takes the selection",
       u"Trip",
       0,
       {{Step::Key, VK_LEFT}, {Step::ShiftKey, VK_HOME}, {Step::Char, VK_BACK}},
       u"p",
       0,
       0},
      {"Shift+Left twice, then Delete",
       u"Trip",
       0,
       {{Step::ShiftKey, VK_LEFT}, {Step::ShiftKey, VK_LEFT}, {Step::Key, VK_DELETE}},
       u"Tr",
       2,
       2},
      {"an arrow alone drops the selection", u"Trip", 0, {{Step::Select, 0, -1}, {Step::Key, VK_LEFT}}, u"Trip", 3, 3},
      {"a tap drops it too", u"Trip", 0, {{Step::Select, 0, -1}, {Step::TapAfter, 1}}, u"Trip", 1, 1},
      {"a drag selects what the pen passes over", u"Trip", 0, {{Step::Drag, 1, 3}}, u"Trip", 1, 3},
      {"a drag backwards, then typing", u"Trip", 0, {{Step::Drag, 4, 2}, {Step::Char, 'm'}}, u"Trm", 3, 3},
      {"read-only: the caret moves, the text stays",
       u"Trip",
       ES_READONLY,
       {{Step::Key, VK_LEFT}, {Step::Char, VK_BACK}, {Step::Key, VK_DELETE}, {Step::Char, 'x'}},
       u"Trip",
       3,
       3},
      {"read-only keeps a selected text too",
       u"Trip",
       ES_READONLY,
       {{Step::Select, 0, -1}, {Step::Char, VK_BACK}, {Step::Char, 'x'}},
       u"Trip",
       0,
       4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND edit = makeBox(c.text, c.style);
    for (const Step& step : c.steps) {
      if (step.kind == Step::Key) {
        key(step.value);
      } else if (step.kind == Step::ShiftKey) {
        wm::injectKey(VK_SHIFT, true);
        key(step.value);
        wm::injectKey(VK_SHIFT, false);
        wm::dispatchPending();
      } else if (step.kind == Step::Char) {
        SendMessageW(edit, WM_CHAR, static_cast<WPARAM>(step.value), 0);
      } else if (step.kind == Step::Select) {
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(step.value), static_cast<LPARAM>(step.to));
      } else if (step.kind == Step::Drag) {
        for (auto [action, after] : {std::pair{wm::PenAction::Down, step.value},
                                     std::pair{wm::PenAction::Move, step.to}, std::pair{wm::PenAction::Up, step.to}}) {
          POINT p{xAfter(edit, after), 10};
          ClientToScreen(edit, &p);
          wm::injectPen(action, p);
          wm::dispatchPending();
        }
      } else {
        tap(edit, POINT{xAfter(edit, step.value), 10});
      }
    }
    EXPECT_EQ(toUtf8(textOf(edit)), toUtf8(c.after));
    DWORD start = 99, end = 98;
    LRESULT both = SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, c.start);
    EXPECT_EQ(end, c.end);
    EXPECT_EQ(both, static_cast<LRESULT>(MAKELONG(static_cast<WORD>(c.start), static_cast<WORD>(c.end))));
    DestroyWindow(edit);
  }
}

TEST_F(EditBoxes, TheCaretAndTheSelectionAreDrawnWhileFocusedAndALongLineSlides) {
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

  SetWindowTextW(edit, u"Trip");
  SendMessageW(edit, EM_SETSEL, 0, -1);
  const int selected = highlighted(edit);
  int width = commctrl::textWidth(commctrl::dialogFont(), u"Trip");
  EXPECT_GE(selected, width * 6) << "the selected text stands on the highlight";
  EXPECT_LE(selected, width * (kBox.bottom - kBox.top));
  SetFocus(m_owner);
  EXPECT_EQ(highlighted(edit), 0) << "only while the box has the focus";
  SetFocus(edit);
  key(VK_END);
  EXPECT_EQ(highlighted(edit), 0);
}

}  // namespace
