#pragma once
// Colours as the style engine and the painter read them: red, green and blue
// 0-255 and a transparent mark, from CSS text or from the X11 colour names.

#include <cstdint>
#include <optional>

#include "style/csstext.h"

struct Colour {
  std::uint16_t red = 0;
  std::uint16_t green = 0;
  std::uint16_t blue = 0;
  bool transparent = false;

  // The platform colour value (COLORREF layout).
  std::uint32_t toColorRef() const { return red | (green << 8) | (blue << 16); }
  friend bool operator==(const Colour&, const Colour&) = default;
};

// Reads "#rrggbb", "rrggbb", "rgb(r, g, b)" with integers or percentages, or a
// colour name. Answers false for anything else, leaving black in `colour`;
// empty text and "transparent" answer false with the transparent mark set
// (a colour property still stores that colour).
bool parseColour(DomStringView text, Colour& colour);

// The X11 colour of a name, ignoring case; none when the table lacks it.
std::optional<Colour> colourByName(DomStringView name);
