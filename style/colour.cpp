#include "style/colour.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

struct NamedColour {
  std::string_view name;
  Colour colour;
};

// The colours of the X11 colour database, under the names skins may use.
// There are deliberately no entries for the CSS-only names (aqua, silver, ...).
constexpr std::array<NamedColour, 144> kColourNames = {{
    {"AliceBlue", {240, 248, 255, false}},
    {"AntiqueWhite", {250, 235, 215, false}},
    {"Aquamarine", {127, 255, 212, false}},
    {"Azure", {240, 255, 255, false}},
    {"Beige", {245, 245, 220, false}},
    {"Bisque", {255, 228, 196, false}},
    {"Black", {0, 0, 0, false}},
    {"BlanchedAlmond", {255, 235, 205, false}},
    {"Blue", {0, 0, 255, false}},
    {"BlueViolet", {138, 43, 226, false}},
    {"Brown", {165, 42, 42, false}},
    {"Burlywood", {222, 184, 135, false}},
    {"CadetBlue", {95, 158, 160, false}},
    {"Chartreuse", {127, 255, 0, false}},
    {"Chocolate", {210, 105, 30, false}},
    {"Coral", {255, 127, 80, false}},
    {"CornflowerBlue", {100, 149, 237, false}},
    {"Cornsilk", {255, 248, 220, false}},
    {"Cyan", {0, 255, 255, false}},
    {"DarkBlue", {0, 0, 139, false}},
    {"DarkCyan", {0, 139, 139, false}},
    {"DarkGray", {169, 169, 169, false}},
    {"DarkGreen", {0, 100, 0, false}},
    {"DarkGrey", {169, 169, 169, false}},
    {"DarkKhaki", {189, 183, 107, false}},
    {"DarkMagenta", {139, 0, 139, false}},
    {"DarkOliveGreen", {85, 107, 47, false}},
    {"DarkOrange", {255, 140, 0, false}},
    {"DarkOrchid", {153, 50, 204, false}},
    {"DarkRed", {139, 0, 0, false}},
    {"DarkSalmon", {233, 150, 122, false}},
    {"DarkSeaGreen", {143, 188, 143, false}},
    {"DarkSlateBlue", {72, 61, 139, false}},
    {"DarkSlateGray", {47, 79, 79, false}},
    {"DarkSlateGrey", {47, 79, 79, false}},
    {"DarkTurquoise", {0, 206, 209, false}},
    {"DarkViolet", {148, 0, 211, false}},
    {"DeepPink", {255, 20, 147, false}},
    {"DeepSkyBlue", {0, 191, 255, false}},
    {"DimGray", {105, 105, 105, false}},
    {"DimGrey", {105, 105, 105, false}},
    {"DodgerBlue", {30, 144, 255, false}},
    {"Firebrick", {178, 34, 34, false}},
    {"FloralWhite", {255, 250, 240, false}},
    {"ForestGreen", {34, 139, 34, false}},
    {"Gainsboro", {220, 220, 220, false}},
    {"GhostWhite", {248, 248, 255, false}},
    {"Gold", {255, 215, 0, false}},
    {"Goldenrod", {218, 165, 32, false}},
    {"Gray", {190, 190, 190, false}},
    {"Green", {0, 255, 0, false}},
    {"GreenYellow", {173, 255, 47, false}},
    {"Grey", {190, 190, 190, false}},
    {"Honeydew", {240, 255, 240, false}},
    {"HotPink", {255, 105, 180, false}},
    {"IndianRed", {205, 92, 92, false}},
    {"Ivory", {255, 255, 240, false}},
    {"Khaki", {240, 230, 140, false}},
    {"Lavender", {230, 230, 250, false}},
    {"LavenderBlush", {255, 240, 245, false}},
    {"LawnGreen", {124, 252, 0, false}},
    {"LemonChiffon", {255, 250, 205, false}},
    {"LightBlue", {173, 216, 230, false}},
    {"LightCoral", {240, 128, 128, false}},
    {"LightCyan", {224, 255, 255, false}},
    {"LightGoldenrod", {238, 221, 130, false}},
    {"LightGoldenrodYellow", {250, 250, 210, false}},
    {"LightGray", {211, 211, 211, false}},
    {"LightGreen", {144, 238, 144, false}},
    {"LightGrey", {211, 211, 211, false}},
    {"LightPink", {255, 182, 193, false}},
    {"LightSalmon", {255, 160, 122, false}},
    {"LightSeaGreen", {32, 178, 170, false}},
    {"LightSkyBlue", {135, 206, 250, false}},
    {"LightSlateBlue", {132, 112, 255, false}},
    {"LightSlateGray", {119, 136, 153, false}},
    {"LightSlateGrey", {119, 136, 153, false}},
    {"LightSteelBlue", {176, 196, 222, false}},
    {"LightYellow", {255, 255, 224, false}},
    {"LimeGreen", {50, 205, 50, false}},
    {"Linen", {250, 240, 230, false}},
    {"Magenta", {255, 0, 255, false}},
    {"Maroon", {176, 48, 96, false}},
    {"MediumAquamarine", {102, 205, 170, false}},
    {"MediumBlue", {0, 0, 205, false}},
    {"MediumOrchid", {186, 85, 211, false}},
    {"MediumPurple", {147, 112, 219, false}},
    {"MediumSeaGreen", {60, 179, 113, false}},
    {"MediumSlateBlue", {123, 104, 238, false}},
    {"MediumSpringGreen", {0, 250, 154, false}},
    {"MediumTurquoise", {72, 209, 204, false}},
    {"MediumVioletRed", {199, 21, 133, false}},
    {"MidnightBlue", {25, 25, 112, false}},
    {"MintCream", {245, 255, 250, false}},
    {"MistyRose", {255, 228, 225, false}},
    {"Moccasin", {255, 228, 181, false}},
    {"NavajoWhite", {255, 222, 173, false}},
    {"Navy", {0, 0, 128, false}},
    {"NavyBlue", {0, 0, 128, false}},
    {"None", {0, 0, 0, true}},
    {"Transparent", {0, 0, 0, true}},
    {"OldLace", {253, 245, 230, false}},
    {"OliveDrab", {107, 142, 35, false}},
    {"Orange", {255, 165, 0, false}},
    {"OrangeRed", {255, 69, 0, false}},
    {"Orchid", {218, 112, 214, false}},
    {"PaleGoldenrod", {238, 232, 170, false}},
    {"PaleGreen", {152, 251, 152, false}},
    {"PaleTurquoise", {175, 238, 238, false}},
    {"PaleVioletRed", {219, 112, 147, false}},
    {"PapayaWhip", {255, 239, 213, false}},
    {"PeachPuff", {255, 218, 185, false}},
    {"Peru", {205, 133, 63, false}},
    {"Pink", {255, 192, 203, false}},
    {"Plum", {221, 160, 221, false}},
    {"PowderBlue", {176, 224, 230, false}},
    {"Purple", {160, 32, 240, false}},
    {"Red", {255, 0, 0, false}},
    {"RosyBrown", {188, 143, 143, false}},
    {"RoyalBlue", {65, 105, 225, false}},
    {"SaddleBrown", {139, 69, 19, false}},
    {"Salmon", {250, 128, 114, false}},
    {"SandyBrown", {244, 164, 96, false}},
    {"SeaGreen", {46, 139, 87, false}},
    {"Seashell", {255, 245, 238, false}},
    {"Sienna", {160, 82, 45, false}},
    {"SkyBlue", {135, 206, 235, false}},
    {"SlateBlue", {106, 90, 205, false}},
    {"SlateGray", {112, 128, 144, false}},
    {"SlateGrey", {112, 128, 144, false}},
    {"Snow", {255, 250, 250, false}},
    {"SpringGreen", {0, 255, 127, false}},
    {"SteelBlue", {70, 130, 180, false}},
    {"Tan", {210, 180, 140, false}},
    {"Thistle", {216, 191, 216, false}},
    {"Tomato", {255, 99, 71, false}},
    {"Turquoise", {64, 224, 208, false}},
    {"Violet", {238, 130, 238, false}},
    {"VioletRed", {208, 32, 144, false}},
    {"Wheat", {245, 222, 179, false}},
    {"White", {255, 255, 255, false}},
    {"WhiteSmoke", {245, 245, 245, false}},
    {"Yellow", {255, 255, 0, false}},
    {"YellowGreen", {154, 205, 50, false}},
}};

constexpr size_t kMaxColourNameLength = 63;
constexpr size_t kFullHexLength = 7;  // "#" and six digits

// Removes every blank and lower-cases; colour text may be spread out.
DomString compacted(DomStringView text) {
  DomString result;
  result.reserve(text.size());
  for (char16_t c : text) {
    if (!css::isSpace(c)) result.push_back(css::toLower(c));
  }
  return result;
}

bool allHexDigits(DomStringView text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    if (!css::isHexDigit(c)) return false;
  }
  return true;
}

std::uint32_t hexValue(DomStringView digits) {
  std::uint32_t value = 0;
  for (char16_t c : digits) value = value * 16 + (css::isDigit(c) ? c - u'0' : css::toLower(c) - u'a' + 10);
  return value;
}

Colour fromRgbValue(std::uint32_t v) {
  return Colour{static_cast<std::uint16_t>((v >> 16) & 0xff), static_cast<std::uint16_t>((v >> 8) & 0xff),
                static_cast<std::uint16_t>(v & 0xff), false};
}

// "#" forms: a text longer than seven characters loses its first character
// first; then seven, six or five characters in all give the colour.
bool readHashForm(DomStringView text, Colour& colour) {
  if (text.size() > kFullHexLength) text.remove_prefix(1);
  DomStringView digits = text.substr(1);
  if (!allHexDigits(digits)) return false;
  std::uint32_t v = hexValue(digits);
  switch (text.size()) {
    case 7:
      colour = fromRgbValue(v);
      return true;
    case 6:
      colour = fromRgbValue((v & 15) | (v << 4));
      return true;
    case 5:
      colour = fromRgbValue(v << 8);
      return true;
    default:
      return false;
  }
}

// One rgb() component: an integer, or an integer percentage of 255.
bool readComponent(DomStringView text, std::uint16_t& component) {
  bool percent = !text.empty() && text.back() == u'%';
  if (percent) text.remove_suffix(1);
  std::string ascii;
  for (char16_t c : text) {
    if (c >= 0x80) return false;
    ascii.push_back(static_cast<char>(c));
  }
  long long value = 0;
  auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ascii.empty() || end != ascii.data() + ascii.size()) return false;
  if (error == std::errc::result_out_of_range) value = ascii[0] == '-' ? -1 : 1000000;
  value = std::clamp(value, -1000000LL, 1000000LL);  // far beyond 255 either way
  if (percent) value = value * 255 / 100;
  component = static_cast<std::uint16_t>(std::clamp(value, 0LL, 255LL));
  return true;
}

bool readRgbForm(DomStringView text, Colour& colour) {
  if (!text.starts_with(u"rgb(") || !text.ends_with(u')')) return false;
  DomStringView inner = text.substr(4, text.size() - 5);
  std::array<std::uint16_t, 3> components{};
  for (size_t i = 0; i < components.size(); ++i) {
    size_t comma = inner.find(u',');
    bool last = i + 1 == components.size();
    if ((comma == DomStringView::npos) != last) return false;
    if (!readComponent(inner.substr(0, comma), components[i])) return false;
    if (!last) inner.remove_prefix(comma + 1);
  }
  colour = Colour{components[0], components[1], components[2], false};
  return true;
}

}  // namespace

std::optional<Colour> colourByName(DomStringView name) {
  if (name.size() > kMaxColourNameLength) return std::nullopt;
  for (const NamedColour& entry : kColourNames) {
    if (css::equalsAsciiIgnoreCase(name, entry.name)) return entry.colour;
  }
  return std::nullopt;
}

bool parseColour(DomStringView source, Colour& colour) {
  colour = Colour{};
  DomString text = compacted(source);
  if (text.empty() || text == u"transparent") {
    colour.transparent = true;
    return false;
  }
  if (text.front() == u'#' && readHashForm(text, colour)) return true;
  if (text.front() != u'#' && text.size() == 6) {
    // Six bare digits are a colour; "bisque" is not, although it starts with one.
    if (allHexDigits(text)) {
      colour = fromRgbValue(hexValue(text));
      return true;
    }
    if (!css::isLetter(text.front())) return false;
  }
  if (readRgbForm(text, colour)) return true;
  if (auto named = colourByName(text)) {
    colour = *named;
    return true;
  }
  colour = Colour{};
  return false;
}
