#pragma once
// Hardware key bindings: which action a key-down of a direction-pad or
// application button stands for. The map lives inside Settings, is stored as
// text under "keyMapping" and is consulted by the message loop on every
// key-down.

#include <span>
#include <utility>
#include <vector>

#include "base/widestring.h"
#include "platform/core/winuser.h"

// Action values: below kPanAction a key code handed to the movie;
// kPanAction + a direction key pans the movie; kCommandAction + n is a player
// command; kNoAction is none.
inline constexpr int kNoAction = -1;
inline constexpr int kPanAction = 0x10000;
inline constexpr int kCommandAction = 0x20000;

inline constexpr int kActionMoveLeft = kPanAction + VK_LEFT;
inline constexpr int kActionMoveUp = kPanAction + VK_UP;
inline constexpr int kActionMoveRight = kPanAction + VK_RIGHT;
inline constexpr int kActionMoveDown = kPanAction + VK_DOWN;
inline constexpr int kActionPlayPause = kCommandAction + 0x01;
inline constexpr int kActionPlay = kCommandAction + 0x02;
inline constexpr int kActionPause = kCommandAction + 0x03;
inline constexpr int kActionStop = kCommandAction + 0x04;
inline constexpr int kActionVolumeUp = kCommandAction + 0x05;
inline constexpr int kActionVolumeDown = kCommandAction + 0x06;
inline constexpr int kActionDisplayPower = kCommandAction + 0x07;
inline constexpr int kActionPreviousMovie = kCommandAction + 0x08;
inline constexpr int kActionNextMovie = kCommandAction + 0x09;
inline constexpr int kActionPreviousFrame = kCommandAction + 0x10;
inline constexpr int kActionNextFrame = kCommandAction + 0x11;
inline constexpr int kActionFullScreen = kCommandAction + 0x12;

// One row of the action or button table: a code and its name (at most 31
// characters).
struct KeyTableRow {
  int code;
  const char16_t* name;
};

// Every action the user can choose, in the order of the dialog's list.
extern const std::span<const KeyTableRow> actionTable;
// The hardware keys that may be bound.
extern const std::span<const KeyTableRow> buttonTable;

// The name of the row with that code, or null.
const char16_t* actionName(int code);
const char16_t* buttonName(int code);

enum class BuiltInKeySet { Movie, Game };

class KeyMap {
 public:
  using Binding = std::pair<int, int>;  // key code, action

  // Drops any binding of `key` and appends (key, action).
  void set(int key, int action);
  void remove(int key);
  // The action bound to `key`, or kNoAction.
  int lookup(int key) const;
  void clear() { m_bindings.clear(); }
  void restore(BuiltInKeySet set);
  // Adds the pairs of the text form (without clearing first), then validates.
  void parse(WideStringView text);
  // "key=action;" for every binding, in map order.
  WideString serialize() const;
  // Drops bindings whose key or action has no table row.
  void validate();

  const std::vector<Binding>& bindings() const { return m_bindings; }

 private:
  std::vector<Binding> m_bindings;  // insertion order, one per key
};

// The movie set in text form: what a first run starts with.
inline constexpr char16_t kDefaultKeyMapText[] =
    u"37=65573;39=65575;38=65574;40=65576;195=131073;194=131078;193=131077;";
