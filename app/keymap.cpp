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
    {37, u"Key: Left"},
    {38, u"Key: Up"},
    {39, u"Key: Right"},
    {40, u"Key: Down"},
    {8, u"Key: Back"},
    {9, u"Key: Tab"},
    {13, u"Key: Return"},
    {16, u"Key: Shift"},
    {17, u"Key: Control"},
    {18, u"Key: Alt"},
    {27, u"Key: Escape"},
    {32, u"Key: Space"},
    {33, u"Key: Page Up"},
    {34, u"Key: Page Down"},
    {35, u"Key: End"},
    {36, u"Key: Home"},
    {48, u"Key: 0"},
    {49, u"Key: 1"},
    {50, u"Key: 2"},
    {51, u"Key: 3"},
    {52, u"Key: 4"},
    {53, u"Key: 5"},
    {54, u"Key: 6"},
    {55, u"Key: 7"},
    {56, u"Key: 8"},
    {57, u"Key: 9"},
    {65, u"Key: A"},
    {66, u"Key: B"},
    {67, u"Key: C"},
    {68, u"Key: D"},
    {69, u"Key: E"},
    {70, u"Key: F"},
    {71, u"Key: G"},
    {72, u"Key: H"},
    {73, u"Key: I"},
    {74, u"Key: J"},
    {75, u"Key: K"},
    {76, u"Key: L"},
    {77, u"Key: M"},
    {78, u"Key: N"},
    {79, u"Key: O"},
    {80, u"Key: P"},
    {81, u"Key: Q"},
    {82, u"Key: R"},
    {83, u"Key: S"},
    {84, u"Key: T"},
    {85, u"Key: U"},
    {86, u"Key: V"},
    {87, u"Key: W"},
    {88, u"Key: X"},
    {89, u"Key: Y"},
    {90, u"Key: Z"},
    {96, u"Key: Numpad 0"},
    {97, u"Key: Numpad 1"},
    {98, u"Key: Numpad 2"},
    {99, u"Key: Numpad 3"},
    {100, u"Key: Numpad 4"},
    {101, u"Key: Numpad 5"},
    {102, u"Key: Numpad 6"},
    {103, u"Key: Numpad 7"},
    {104, u"Key: Numpad 8"},
    {105, u"Key: Numpad 9"},
    {106, u"Key: *"},
    {107, u"Key: +"},
    {109, u"Key: -"},
    {110, u"Key: ."},
    {111, u"Key: /"},
    {kNoAction, u"<Cancel the Mapping>"},
};

// "Button 10" carries 0xC10: no key-down carries that code, so it is never
// bound; kept so that stored maps and the dialog's list stay as they were.
constexpr KeyTableRow kButtons[] = {
    {13, u"Action"},    {37, u"Left"},      {38, u"Up"},        {39, u"Right"},     {40, u"Down"},
    {193, u"Button 1"}, {194, u"Button 2"}, {195, u"Button 3"}, {196, u"Button 4"}, {197, u"Button 5"},
    {198, u"Button 6"}, {199, u"Button 7"}, {200, u"Button 8"}, {201, u"Button 9"}, {3088, u"Button 10"},
};

constexpr KeyMap::Binding kMovieSet[] = {
    {37, kActionMoveLeft},   {39, kActionMoveRight},   {38, kActionMoveUp},    {40, kActionMoveDown},
    {195, kActionPlayPause}, {194, kActionVolumeDown}, {193, kActionVolumeUp},
};
constexpr KeyMap::Binding kGameSet[] = {
    {37, 37}, {39, 39}, {38, 38}, {40, 40}, {194, kActionVolumeDown}, {193, kActionVolumeUp},
};

const char16_t* nameIn(std::span<const KeyTableRow> table, int code) {
  auto row = std::find_if(table.begin(), table.end(), [code](const KeyTableRow& r) { return r.code == code; });
  return row == table.end() ? nullptr : row->name;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The leading signed decimal number of `text` (0 when there is none); a
// number too large for an int is held at the int's limit.
int leadingNumber(WideStringView text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    value = std::min<long long>(value * 10 + (text[i] - u'0'), 1LL + INT_MAX);
  value = negative ? -value : value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
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
