#pragma once
// The typed geometry of skin elements: lengths, animated lengths, number
// lists and point lists, read from attribute text. Numbers are read from
// 8-bit text as a leading decimal number; unit suffixes and percent signs are
// ignored, so every length is a plain number of document pixels.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dom/nodearena.h"
#include "style/csstext.h"

// The leading decimal number of `text` (optional white space and sign, digits,
// fraction, exponent); 0 when there is none. A number beyond the range of a
// 32-bit float is held at the largest float of its sign, so geometry stays finite.
double readLeadingNumber(std::string_view text);
// The text narrowed to 8-bit characters, at most `limit` of them; characters
// outside ASCII become '?', which no number contains.
std::string narrowText(DomStringView text, std::size_t limit);

class SVGLength {
 public:
  enum : std::uint16_t { SVG_LENGTHTYPE_UNKNOWN = 0, SVG_LENGTHTYPE_NUMBER = 1 };

  std::uint16_t unitType() const { return m_unitType; }
  float value() const { return m_value; }
  void setValue(float value) { m_value = value; }
  // Reads the attribute text (at most 63 characters of it); units are ignored.
  void setValueAsString(DomStringView text);
  // The value with 7 significant digits.
  DomString valueAsString() const;

 private:
  std::uint16_t m_unitType = SVG_LENGTHTYPE_NUMBER;
  float m_value = 0;
};

class SVGAnimatedLength {
 public:
  const SVGLength& baseVal() const { return m_baseVal; }
  const SVGLength& animVal() const { return m_animVal; }
  // Sets both values; geometry is read from the animated one.
  void setFromText(DomStringView text);
  float value() const { return m_animVal.value(); }

 private:
  SVGLength m_baseVal;
  SVGLength m_animVal;
};

// Carved, like its element's style values, from the current NodeArena::Scope.
using SVGLengthVector = std::vector<SVGLength, ScopedArenaAllocator<SVGLength>>;

// A `text` element's positions: entries closed by a comma, space, tab or the
// end of the text; an empty entry reads as 0. Nothing animates a list, so its
// animated entries are its base entries.
class SVGLengthList {
 public:
  const SVGLengthVector& baseVal() const { return m_entries; }
  const SVGLengthVector& animVal() const { return m_entries; }
  // Replaces the entries with those of `text`.
  void setFromText(DomStringView text);
  // The first animated entry, 0 for an empty list.
  float first() const { return m_entries.empty() ? 0.0f : m_entries.front().value(); }

 private:
  SVGLengthVector m_entries;
};

struct SVGPoint {
  float x = 0;
  float y = 0;
  friend bool operator==(const SVGPoint&, const SVGPoint&) = default;
};

// "points": numbers separated by commas, spaces or tabs (a run of separators
// counts as one), taken in pairs; an unpaired last number is dropped.
class SVGPointList {
 public:
  const std::vector<SVGPoint>& points() const { return m_points; }
  // Replaces the points with those of `text`.
  void setFromText(DomStringView text);

 private:
  std::vector<SVGPoint> m_points;
};
