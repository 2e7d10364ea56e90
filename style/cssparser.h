#pragma once
// The CSS declaration parser: prepares text, splits a declaration list, reads
// one declaration with its "!important", expands shorthands and checks each
// value against its property's grammar. One parser serves one parse call and
// appends what it accepts to the property list it was given.

#include <cstdint>
#include <vector>

#include "style/cssvalue.h"

struct CSSProperty {
  std::int32_t id;
  Ref<CSSValue> value;
  bool important = false;
  bool nonCSSHint = false;
};
// Carved, like the values, from the arena of the current NodeArena::Scope.
using CSSPropertyList = std::vector<CSSProperty, ScopedArenaAllocator<CSSProperty>>;

namespace css {

// The unit classes a number may take (a bit set).
enum UnitClass : unsigned {
  kInteger = 1,
  kNumber = 2,
  kPercent = 4,
  kLength = 8,
  kAngle = 16,
  kTime = 32,
  kFrequency = 64,
  kNonNegative = 128,
};

// A number with an optional unit whose class is in `allowed`; none otherwise.
// Unitless lengths are pixels (the parser is never strict).
Ref<CSSPrimitiveValue> parseNumberWithUnit(DomStringView text, unsigned allowed);

// Outside quoted strings: drops comments and HTML comment markers, collapses
// white space and writes one space after ",", ";", ")" and "}".
DomString prepareText(DomStringView text);
// Whether preparing `text` would leave it as it is (no comment, quote,
// escape, separator or extra white space), so that it can be parsed in place.
bool isPrepared(DomStringView text);

// The position of `wanted` at or after `from`, skipping escapes, quoted strings
// and bracketed groups; with `stopAtSpace` a white-space character also ends the
// scan (`wanted` may then be kNoCharacter). npos when the text ends first.
inline constexpr char32_t kNoCharacter = 0x110000;
size_t scanTo(DomStringView text, size_t from, char32_t wanted, bool stopAtSpace = false);

// White-space-separated tokens, keeping quoted strings and bracketed groups whole.
std::vector<DomStringView> splitTokens(DomStringView text);

}  // namespace css

class CSSParser {
 public:
  explicit CSSParser(CSSPropertyList& target) : m_target(target) {}

  // Parses prepared text as a declaration list; true when at least one property resulted.
  bool parseDeclarationList(DomStringView text);
  // One "name: value [!important]"; true when its value was accepted.
  bool parseDeclaration(DomStringView text);
  // Checks `text` against the grammar of property `id` and appends the
  // properties it gives (a lone keyword for "font" gives none); on failure
  // nothing is appended.
  bool parseValue(std::int32_t id, DomStringView text, bool important);

 private:
  bool parseValueUnchecked(std::int32_t id, DomStringView text);
  bool parseShorthand(std::int32_t id, DomStringView text);
  bool parseFourSides(const std::int32_t (&sides)[4], DomStringView text);
  bool parseTokenOffer(const std::int32_t* members, size_t count, DomStringView text, bool pairPositions);
  bool parseFont(DomStringView text);
  bool parseBackgroundPosition(DomStringView text);
  void add(std::int32_t id, Ref<CSSValue> value);

  CSSPropertyList& m_target;
  bool m_important = false;
  bool m_strict = false;  // never set here: unitless lengths are pixels
};

// The grammar of a property that sets itself alone: the value, or none when
// the text is rejected. (Shorthands and "background-position" set several.)
Ref<CSSValue> parseLonghandValue(std::int32_t id, DomStringView text);
