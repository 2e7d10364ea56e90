#include "app/keymap.h"

#include <algorithm>
#include <climits>

namespace {

constexpr KeyTableRow kActions[] = {
    {kActionMoveLeft, u"Move Flash Left"},
    {kActionMoveUp, u"Move Flash Up"},
    {kActionMoveRight, u"Move Flash Right"},
    {kActionMoveDown, u"Move Flash Down"},
    {kActionPlayPause, u"Play & Pause"},
    {kActionPlay, u"Play"},
    {kActionPause, u"Pause"},
    {kActionStop, u"Stop"},
    {kActionVolumeUp, u"Volume Up"},
    {kActionVolumeDown, u"Volume Down"},
    {kActionDisplayPower, u"Display On/Off"},
    {kActionFullScreen, u"Full-screen/Normal"},
    {kActionPreviousMovie, u"Previous Flash"},
    {kActionNextMovie, u"Next Flash"},
    {kActionPreviousFrame, u"Previous Frame"},
    {kActionNextFrame, u"Next Frame"},
    {VK_LEFT, u"Key: Left"},
    {VK_UP, u"Key: Up"},
    {VK_RIGHT, u"Key: Right"},
    {VK_DOWN, u"Key: Down"},
    {VK_BACK, u"Key: Back"},
    {VK_TAB, u"Key: Tab"},
    {VK_RETURN, u"Key: Return"},
    {VK_SHIFT, u"Key: Shift"},
    {VK_CONTROL, u"Key: Control"},
    {VK_MENU, u"Key: Alt"},
    {VK_ESCAPE, u"Key: Escape"},
    {VK_SPACE, u"Key: Space"},
    {VK_PRIOR, u"Key: Page Up"},
    {VK_NEXT, u"Key: Page Down"},
    {VK_END, u"Key: End"},
    {VK_HOME, u"Key: Home"},
    {'0', u"Key: 0"},
    {'1', u"Key: 1"},
    {'2', u"Key: 2"},
    {'3', u"Key: 3"},
    {'4', u"Key: 4"},
    {'5', u"Key: 5"},
    {'6', u"Key: 6"},
    {'7', u"Key: 7"},
    {'8', u"Key: 8"},
    {'9', u"Key: 9"},
    {'A', u"Key: A"},
    {'B', u"Key: B"},
    {'C', u"Key: C"},
    {'D', u"Key: D"},
    {'E', u"Key: E"},
    {'F', u"Key: F"},
    {'G', u"Key: G"},
    {'H', u"Key: H"},
    {'I', u"Key: I"},
    {'J', u"Key: J"},
    {'K', u"Key: K"},
    {'L', u"Key: L"},
    {'M', u"Key: M"},
    {'N', u"Key: N"},
    {'O', u"Key: O"},
    {'P', u"Key: P"},
    {'Q', u"Key: Q"},
    {'R', u"Key: R"},
    {'S', u"Key: S"},
    {'T', u"Key: T"},
    {'U', u"Key: U"},
    {'V', u"Key: V"},
    {'W', u"Key: W"},
    {'X', u"Key: X"},
    {'Y', u"Key: Y"},
    {'Z', u"Key: Z"},
    {VK_NUMPAD0, u"Key: Numpad 0"},
    {VK_NUMPAD1, u"Key: Numpad 1"},
    {VK_NUMPAD2, u"Key: Numpad 2"},
    {VK_NUMPAD3, u"Key: Numpad 3"},
    {VK_NUMPAD4, u"Key: Numpad 4"},
    {VK_NUMPAD5, u"Key: Numpad 5"},
    {VK_NUMPAD6, u"Key: Numpad 6"},
    {VK_NUMPAD7, u"Key: Numpad 7"},
    {VK_NUMPAD8, u"Key: Numpad 8"},
    {VK_NUMPAD9, u"Key: Numpad 9"},
    {VK_MULTIPLY, u"Key: *"},
    {VK_ADD, u"Key: +"},
    {VK_SUBTRACT, u"Key: -"},
    {VK_DECIMAL, u"Key: ."},
    {VK_DIVIDE, u"Key: /"},
    {kNoAction, u"<Cancel the Mapping>"},
};

// "Button 10" carries 0xC10: no key-down carries that code, so it is never
// bound; kept so that stored maps and the dialog's list stay as they were.
constexpr int kButton10 = 0xC10;
constexpr KeyTableRow kButtons[] = {
    {VK_RETURN, u"Action"}, {VK_LEFT, u"Left"},     {VK_UP, u"Up"},
    {VK_RIGHT, u"Right"},   {VK_DOWN, u"Down"},     {VK_APP1, u"Button 1"},
    {VK_APP2, u"Button 2"}, {VK_APP3, u"Button 3"}, {VK_APP4, u"Button 4"},
    {VK_APP5, u"Button 5"}, {VK_APP6, u"Button 6"}, {VK_APP7, u"Button 7"},
    {VK_APP8, u"Button 8"}, {VK_APP9, u"Button 9"}, {kButton10, u"Button 10"},
};

constexpr KeyMap::Binding kMovieSet[] = {
    {VK_LEFT, kActionMoveLeft},  {VK_RIGHT, kActionMoveRight}, {VK_UP, kActionMoveUp},     {VK_DOWN, kActionMoveDown},
    {VK_APP3, kActionPlayPause}, {VK_APP2, kActionVolumeDown}, {VK_APP1, kActionVolumeUp},
};
constexpr KeyMap::Binding kGameSet[] = {
    {VK_LEFT, VK_LEFT}, {VK_RIGHT, VK_RIGHT},         {VK_UP, VK_UP},
    {VK_DOWN, VK_DOWN}, {VK_APP2, kActionVolumeDown}, {VK_APP1, kActionVolumeUp},
};

const char16_t* nameIn(std::span<const KeyTableRow> table, int code) {
  auto row = std::find_if(table.begin(), table.end(), [code](const KeyTableRow& r) { return r.code == code; });
  return row == table.end() ? nullptr : row->name;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The leading signed decimal number of `text`, or 0 when there is none.
int leadingNumber(WideStringView text) {
  int value = 0;
  readInteger(text, value);
  return value;
}

}  // namespace

const std::span<const KeyTableRow> actionTable{kActions};
const std::span<const KeyTableRow> buttonTable{kButtons};

const char16_t* actionName(int code) { return nameIn(actionTable, code); }
const char16_t* buttonName(int code) { return nameIn(buttonTable, code); }

void KeyMap::set(int key, int action) {
  remove(key);
  m_bindings.emplace_back(key, action);
}

void KeyMap::remove(int key) {
  std::erase_if(m_bindings, [key](const Binding& b) { return b.first == key; });
}

int KeyMap::lookup(int key) const {
  for (const auto& [bound, action] : m_bindings)
    if (bound == key) return action;
  return kNoAction;
}

void KeyMap::restore(BuiltInKeySet set) {
  clear();
  for (const auto& [key, action] :
       set == BuiltInKeySet::Movie ? std::span<const Binding>(kMovieSet) : std::span<const Binding>(kGameSet))
    this->set(key, action);
}

void KeyMap::parse(WideStringView text) {
  // States: 0 start, 1 key, 2 after key, 3 after "=", 4 blanks before the
  // value, 5 value, 6 after value. A pair not closed by ";" is dropped.
  int state = 0;
  WideString key, value;
  auto commit = [&] {
    int k = leadingNumber(key), a = leadingNumber(value);
    if (k > 0 && a > 0) set(k, a);
  };
  for (char16_t c : text) {
    bool blank = isBlank(c);
    switch (state) {
      case 0:
        if (!blank) {
          key.assign(1, c);
          value.clear();
          state = 1;
        }
        break;
      case 1:
        if (c == u'=')
          state = 3;
        else if (blank)
          state = 2;
        else
          key += c;
        break;
      case 2:
        if (c == u'=') state = 3;
        break;
      case 3:
      case 4:
        if (blank) {
          state = 4;
        } else {
          value.assign(1, c);
          state = 5;
        }
        break;
      case 5:
        if (c == u';') {
          commit();
          state = 0;
        } else if (blank) {
          state = 6;
        } else {
          value += c;
        }
        break;
      case 6:
        if (c == u';') {
          commit();
          state = 0;
        }
        break;
    }
  }
  validate();
}

WideString KeyMap::serialize() const {
  WideString text;
  for (const auto& [key, action] : m_bindings) text += formatWide(u"%d=%d;", key, action);
  return text;
}

void KeyMap::validate() {
  std::erase_if(m_bindings, [](const Binding& b) { return !buttonName(b.first) || !actionName(b.second); });
}
