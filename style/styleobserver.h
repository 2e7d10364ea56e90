#pragma once
// Told what the style engine drops or passes on, for tools that explain a
// skin to its author. None is installed in the player, so the engine only
// pays one test of a pointer on paths that already drop something.

#include <cstdint>

#include "style/csstext.h"

class StyleObserver {
 public:
  enum class Drop {
    NoColon,      // a declaration without ":" (or without a name)
    BadPriority,  // "!" followed by something other than "important"
    EmptyValue,   // nothing after ":"
    Rejected,     // a value the property's grammar refuses
    Replaced,     // an earlier declaration a later "style" attribute replaced
  };
  // `name` and `value` as the engine saw them (prepared text); for NoColon,
  // `name` is the whole declaration.
  virtual void declarationDropped(Drop drop, DomStringView name, DomStringView value) = 0;
  // A presentation attribute reaching the declaration (rather than geometry).
  virtual void presentationAttribute(DomStringView name, DomStringView value) = 0;
  // A declaration of a "style" attribute that the engine kept.
  virtual void declarationKept(DomStringView name, DomStringView value) = 0;

 protected:
  ~StyleObserver() = default;
};

namespace style_detail {
extern StyleObserver* g_observer;  // not owned
}

// The process-wide observer: none unless a tool installs one.
inline StyleObserver* styleObserver() { return style_detail::g_observer; }
void setStyleObserver(StyleObserver* observer);
