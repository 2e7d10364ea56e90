// Shorthands expand into their longhand properties with the declaration's
// important flag; "background-position" sets its x and y properties.

#include "style/csskeywords.h"
#include "style/cssparser.h"
#include "style/cssproperties.h"

namespace {

using css::keywordIdOf;
using css::propertyIdOf;

constexpr std::int32_t kMarginSides[4] = {propertyIdOf("margin-top"), propertyIdOf("margin-right"),
                                          propertyIdOf("margin-bottom"), propertyIdOf("margin-left")};
constexpr std::int32_t kPaddingSides[4] = {propertyIdOf("padding-top"), propertyIdOf("padding-right"),
                                           propertyIdOf("padding-bottom"), propertyIdOf("padding-left")};
constexpr std::int32_t kBorderColorSides[4] = {propertyIdOf("border-top-color"), propertyIdOf("border-right-color"),
                                               propertyIdOf("border-bottom-color"), propertyIdOf("border-left-color")};
constexpr std::int32_t kBorderStyleSides[4] = {propertyIdOf("border-top-style"), propertyIdOf("border-right-style"),
                                               propertyIdOf("border-bottom-style"), propertyIdOf("border-left-style")};
constexpr std::int32_t kBorderWidthSides[4] = {propertyIdOf("border-top-width"), propertyIdOf("border-right-width"),
                                               propertyIdOf("border-bottom-width"), propertyIdOf("border-left-width")};

constexpr std::int32_t kBorderMembers[] = {propertyIdOf("border-width"), propertyIdOf("border-style"),
                                           propertyIdOf("border-color")};
constexpr std::int32_t kBorderTopMembers[] = {propertyIdOf("border-top-width"), propertyIdOf("border-top-style"),
                                              propertyIdOf("border-top-color")};
constexpr std::int32_t kBorderRightMembers[] = {propertyIdOf("border-right-width"), propertyIdOf("border-right-style"),
                                                propertyIdOf("border-right-color")};
constexpr std::int32_t kBorderBottomMembers[] = {
    propertyIdOf("border-bottom-width"), propertyIdOf("border-bottom-style"), propertyIdOf("border-bottom-color")};
constexpr std::int32_t kBorderLeftMembers[] = {propertyIdOf("border-left-width"), propertyIdOf("border-left-style"),
                                               propertyIdOf("border-left-color")};
constexpr std::int32_t kOutlineMembers[] = {propertyIdOf("outline-width"), propertyIdOf("outline-style"),
                                            propertyIdOf("outline-color")};
constexpr std::int32_t kListStyleMembers[] = {propertyIdOf("list-style-type"), propertyIdOf("list-style-position"),
                                              propertyIdOf("list-style-image")};
constexpr std::int32_t kBackgroundMembers[] = {propertyIdOf("background-image"), propertyIdOf("background-repeat"),
                                               propertyIdOf("background-attachment"),
                                               propertyIdOf("background-position"), propertyIdOf("background-color")};

constexpr size_t kMaxSides = 4;

}  // namespace

bool CSSParser::parseShorthand(std::int32_t id, DomStringView text) {
  switch (id) {
    case propertyIdOf("margin"):
      return parseFourSides(kMarginSides, text);
    case propertyIdOf("padding"):
      return parseFourSides(kPaddingSides, text);
    case propertyIdOf("border-style"):
      return parseFourSides(kBorderStyleSides, text);
    case propertyIdOf("border-width"):
      return parseFourSides(kBorderWidthSides, text);
    case propertyIdOf("border-color"):
      if (css::keywordIdIgnoringCase(text) == keywordIdOf("transparent")) {
        add(id, asValue(CSSPrimitiveValue::keyword(keywordIdOf("transparent"))));
        return true;
      }
      return parseFourSides(kBorderColorSides, text);
    case propertyIdOf("border"):
      return parseTokenOffer(kBorderMembers, std::size(kBorderMembers), text, false);
    case propertyIdOf("border-top"):
      return parseTokenOffer(kBorderTopMembers, 3, text, false);
    case propertyIdOf("border-right"):
      return parseTokenOffer(kBorderRightMembers, 3, text, false);
    case propertyIdOf("border-bottom"):
      return parseTokenOffer(kBorderBottomMembers, 3, text, false);
    case propertyIdOf("border-left"):
      return parseTokenOffer(kBorderLeftMembers, 3, text, false);
    case propertyIdOf("outline"):
      return parseTokenOffer(kOutlineMembers, std::size(kOutlineMembers), text, false);
    case propertyIdOf("list-style"):
      return parseTokenOffer(kListStyleMembers, std::size(kListStyleMembers), text, false);
    case propertyIdOf("background"):
      return parseTokenOffer(kBackgroundMembers, std::size(kBackgroundMembers), text, true);
    case propertyIdOf("font"):
      return parseFont(text);
    default:
      return false;
  }
}

// One value sets all four sides (sharing one value object); two set top and
// bottom, right and left; three set top, right and left, bottom; four each.
bool CSSParser::parseFourSides(const std::int32_t (&sides)[4], DomStringView text) {
  std::vector<DomStringView> tokens = css::splitTokens(text);
  if (tokens.empty() || tokens.size() > kMaxSides) return false;
  std::vector<Ref<CSSValue>> values;
  for (DomStringView token : tokens) {
    Ref<CSSValue> value = parseLonghandValue(sides[0], token);
    if (!value) return false;
    values.push_back(std::move(value));
  }
  static constexpr size_t kSideSource[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
  for (size_t side = 0; side < 4; ++side) add(sides[side], values[kSideSource[values.size() - 1][side]]);
  return true;
}

// Each token goes to the first member, in order, that is not yet set and
// whose grammar takes it; a token that no member takes fails the whole value.
bool CSSParser::parseTokenOffer(const std::int32_t* members, size_t count, DomStringView text, bool pairPositions) {
  std::vector<DomStringView> tokens = css::splitTokens(text);
  if (tokens.empty()) return false;
  std::vector<bool> set(count, false);
  for (size_t t = 0; t < tokens.size(); ++t) {
    bool taken = false;
    for (size_t m = 0; m < count && !taken; ++m) {
      if (set[m]) continue;
      bool position = members[m] == propertyIdOf("background-position");
      if (pairPositions && position && t + 1 < tokens.size()) {
        // A position may take the next token as its second part.
        DomStringView pair(tokens[t].data(), tokens[t + 1].data() + tokens[t + 1].size() - tokens[t].data());
        if (parseValue(members[m], pair, m_important)) {
          set[m] = taken = true;
          ++t;
          break;
        }
      }
      taken = set[m] = parseValue(members[m], tokens[t], m_important);
    }
    if (!taken) return false;
  }
  return true;
}

namespace {

// The parts of a "font" value: [style || variant || weight] size[/line-height] family.
struct FontParts {
  DomStringView style, variant, weight, size, lineHeight, family;
};

// A style, variant or weight keyword before the size fills its own part; a
// "normal" waits (counted in `normals`) for whichever part the others leave
// open. False for any other token, or for a second keyword of the same part.
bool takeFontPrefix(DomStringView token, FontParts& parts, std::vector<DomStringView>& normals) {
  int keyword = css::keywordIdIgnoringCase(token);
  auto fill = [&](DomStringView& part) {
    if (!part.empty()) return false;
    part = token;
    return true;
  };
  if (keyword == keywordIdOf("normal")) {
    normals.push_back(token);
    return true;
  }
  if (keyword == keywordIdOf("italic") || keyword == keywordIdOf("oblique")) return fill(parts.style);
  if (keyword == keywordIdOf("small-caps")) return fill(parts.variant);
  if ((keyword >= keywordIdOf("bold") && keyword <= keywordIdOf("lighter")) ||
      (keyword >= keywordIdOf("100") && keyword <= keywordIdOf("900"))) {
    return fill(parts.weight);
  }
  return false;
}

// At most three tokens come before the size, so the parts left open always
// take every "normal".
void placeNormals(const std::vector<DomStringView>& normals, FontParts& parts) {
  size_t next = 0;
  for (DomStringView* part : {&parts.style, &parts.variant, &parts.weight}) {
    if (next < normals.size() && part->empty()) *part = normals[next++];
  }
}

bool splitFont(DomStringView text, FontParts& parts) {
  std::vector<DomStringView> tokens = css::splitTokens(text);
  std::vector<DomStringView> normals;
  size_t t = 0;
  while (t < tokens.size() && t < 3 && takeFontPrefix(tokens[t], parts, normals)) ++t;
  if (t == tokens.size()) return false;
  placeNormals(normals, parts);
  DomStringView size = tokens[t++];
  size_t slash = size.find(u'/');
  if (slash != DomStringView::npos) {
    parts.lineHeight = size.substr(slash + 1);
    size = size.substr(0, slash);
    if (parts.lineHeight.empty() && t < tokens.size()) parts.lineHeight = tokens[t++];
  } else if (t < tokens.size() && tokens[t].front() == u'/') {
    parts.lineHeight = tokens[t++].substr(1);
    if (parts.lineHeight.empty() && t < tokens.size()) parts.lineHeight = tokens[t++];
  }
  parts.size = size;
  if (t == tokens.size()) return false;
  parts.family = DomStringView(tokens[t].data(), text.data() + text.size() - tokens[t].data());
  return !parts.size.empty();
}

}  // namespace

bool CSSParser::parseFont(DomStringView text) {
  std::vector<DomStringView> tokens = css::splitTokens(text);
  if (tokens.size() == 1 && css::keywordIdIgnoringCase(tokens[0]) != 0) return true;
  FontParts parts;
  if (!splitFont(text, parts)) return false;
  const std::pair<std::int32_t, DomStringView> members[] = {
      {propertyIdOf("font-style"), parts.style},       {propertyIdOf("font-variant"), parts.variant},
      {propertyIdOf("font-weight"), parts.weight},     {propertyIdOf("font-size"), parts.size},
      {propertyIdOf("line-height"), parts.lineHeight}, {propertyIdOf("font-family"), parts.family},
  };
  for (const auto& [member, part] : members) {
    if (!part.empty() && !parseValue(member, part, m_important)) return false;
  }
  return true;
}

namespace {

// A position keyword: the axes it may stand on and the percentage it means.
struct PositionKeyword {
  int keyword;
  bool horizontal, vertical;
  float percent;
};

constexpr PositionKeyword kPositionKeywords[] = {
    {keywordIdOf("left"), true, false, 0},   {keywordIdOf("right"), true, false, 100},
    {keywordIdOf("top"), false, true, 0},    {keywordIdOf("bottom"), false, true, 100},
    {keywordIdOf("center"), true, true, 50},
};

const PositionKeyword* positionKeyword(DomStringView token) {
  int keyword = css::keywordIdIgnoringCase(token);
  for (const PositionKeyword& entry : kPositionKeywords) {
    if (entry.keyword == keyword) return &entry;
  }
  return nullptr;
}

// Two keywords, one per axis, in either order; a single one pairs with "center".
bool readPositionKeywords(const std::vector<DomStringView>& tokens, float& x, float& y) {
  const PositionKeyword* first = positionKeyword(tokens[0]);
  const PositionKeyword* second = tokens.size() > 1 ? positionKeyword(tokens[1]) : &kPositionKeywords[4];
  if (!first || !second) return false;
  if (first->horizontal && second->vertical) {
    x = first->percent;
    y = second->percent;
    return true;
  }
  if (first->vertical && second->horizontal) {
    x = second->percent;
    y = first->percent;
    return true;
  }
  return false;
}

}  // namespace

bool CSSParser::parseBackgroundPosition(DomStringView text) {
  std::vector<DomStringView> tokens = css::splitTokens(text);
  if (tokens.empty() || tokens.size() > 2) return false;
  float x = 0, y = 0;
  if (readPositionKeywords(tokens, x, y)) {
    add(propertyIdOf("background-position-x"),
        asValue(CSSPrimitiveValue::number(x, CSSPrimitiveValue::CSS_PERCENTAGE)));
    add(propertyIdOf("background-position-y"),
        asValue(CSSPrimitiveValue::number(y, CSSPrimitiveValue::CSS_PERCENTAGE)));
    return true;
  }
  constexpr unsigned kPositionUnits = css::kLength | css::kPercent;
  Ref<CSSPrimitiveValue> first = css::parseNumberWithUnit(tokens[0], kPositionUnits);
  Ref<CSSPrimitiveValue> second = tokens.size() > 1 ? css::parseNumberWithUnit(tokens[1], kPositionUnits)
                                                    : CSSPrimitiveValue::number(50, CSSPrimitiveValue::CSS_PERCENTAGE);
  if (!first || !second) return false;
  add(propertyIdOf("background-position-x"), asValue(std::move(first)));
  add(propertyIdOf("background-position-y"), asValue(std::move(second)));
  return true;
}
