// The value grammar of each property. Most properties accept a set of keywords
// and numbers of some unit classes; they are rows of one table. The others
// (colours, URIs, lists, "rect") have a reader each.

#include <array>

#include "style/csskeywords.h"
#include "style/cssparser.h"
#include "style/cssproperties.h"

namespace css {
namespace {

using Unit = CSSPrimitiveValue::UnitType;

struct KeywordRange {
  int first = 0;
  int last = -1;
};

consteval KeywordRange span(std::string_view first, std::string_view last) {
  return {keywordIdOf(first), keywordIdOf(last)};
}
inline constexpr KeywordRange kAnyKeyword{1, static_cast<int>(kKeywordNames.size())};

template <typename... Names>
consteval std::array<int, 4> words(Names... names) {
  return {keywordIdOf(names)...};
}

struct SimpleGrammar {
  int property;
  std::array<int, 4> keywords;  // accepted keywords (0 ends the list)
  KeywordRange range;           // and the keywords of the table from first to last
  unsigned units;               // then numbers of these unit classes
};

constexpr unsigned kLengthOrPercent = kLength | kPercent;

constexpr SimpleGrammar kSimpleGrammars[] = {
    {propertyIdOf("background-repeat"), {}, span("repeat", "no-repeat"), 0},
    {propertyIdOf("background-attachment"), words("scroll", "fixed"), {}, 0},
    {propertyIdOf("background-position-x"), {}, {}, kNumber | kLengthOrPercent},
    {propertyIdOf("background-position-y"), {}, {}, kNumber | kLengthOrPercent},
    {propertyIdOf("border-collapse"), words("collapse", "separate"), {}, 0},
    {propertyIdOf("border-spacing"), {}, {}, kLength | kNonNegative},
    {propertyIdOf("border-top-style"), {}, span("none", "ridge"), 0},
    {propertyIdOf("border-right-style"), {}, span("none", "ridge"), 0},
    {propertyIdOf("border-bottom-style"), {}, span("none", "ridge"), 0},
    {propertyIdOf("border-left-style"), {}, span("none", "ridge"), 0},
    {propertyIdOf("outline-style"), {}, span("none", "ridge"), 0},
    {propertyIdOf("border-top-width"), words("thin", "medium", "thick"), {}, kLength | kNonNegative},
    {propertyIdOf("border-right-width"), words("thin", "medium", "thick"), {}, kLength | kNonNegative},
    {propertyIdOf("border-bottom-width"), words("thin", "medium", "thick"), {}, kLength | kNonNegative},
    {propertyIdOf("border-left-width"), words("thin", "medium", "thick"), {}, kLength | kNonNegative},
    {propertyIdOf("outline-width"), words("thin", "medium", "thick"), {}, kLength | kNonNegative},
    {propertyIdOf("top"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("right"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("bottom"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("left"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("margin-top"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("margin-right"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("margin-bottom"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("margin-left"), words("auto"), {}, kLengthOrPercent},
    {propertyIdOf("marker-offset"), words("auto"), {}, kLength},
    {propertyIdOf("height"), words("auto"), {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("width"), words("auto"), {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("min-height"), {}, {}, kLengthOrPercent},
    {propertyIdOf("min-width"), {}, {}, kLengthOrPercent},
    {propertyIdOf("text-indent"), {}, {}, kLengthOrPercent},
    {propertyIdOf("max-height"), words("none"), {}, kLengthOrPercent},
    {propertyIdOf("max-width"), words("none"), {}, kLengthOrPercent},
    {propertyIdOf("padding-top"), {}, {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("padding-right"), {}, {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("padding-bottom"), {}, {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("padding-left"), {}, {}, kLengthOrPercent | kNonNegative},
    {propertyIdOf("caption-side"), words("top", "bottom", "left", "right"), {}, 0},
    {propertyIdOf("clear"), words("none", "left", "right", "both"), {}, 0},
    {propertyIdOf("float"), words("none", "left", "right", "center"), {}, 0},
    {propertyIdOf("direction"), words("ltr", "rtl"), {}, 0},
    {propertyIdOf("display"), words("none"), span("inline", "table-caption"), 0},
    // Keywords of the table, not checked against the property.
    {propertyIdOf("empty-cells"), {}, kAnyKeyword, 0},
    {propertyIdOf("font-stretch"), {}, kAnyKeyword, 0},
    {propertyIdOf("page"), {}, kAnyKeyword, 0},
    {propertyIdOf("page-break-after"), {}, kAnyKeyword, 0},
    {propertyIdOf("page-break-before"), {}, kAnyKeyword, 0},
    {propertyIdOf("page-break-inside"), {}, kAnyKeyword, 0},
    {propertyIdOf("position"), {}, kAnyKeyword, 0},
    {propertyIdOf("quotes"), {}, kAnyKeyword, 0},
    {propertyIdOf("size"), {}, kAnyKeyword, 0},
    {propertyIdOf("table-layout"), {}, kAnyKeyword, 0},
    {propertyIdOf("text-shadow"), {}, kAnyKeyword, 0},
    {propertyIdOf("unicode-bidi"), {}, kAnyKeyword, 0},
    {propertyIdOf("white-space"), {}, kAnyKeyword, 0},
    {propertyIdOf("font-size"), {}, span("xx-small", "larger"), kLengthOrPercent | kNonNegative},
    {propertyIdOf("font-size-adjust"), words("none"), {}, kNumber},
    {propertyIdOf("font-style"), words("normal", "italic", "oblique"), {}, 0},
    {propertyIdOf("font-variant"), words("normal", "small-caps"), {}, 0},
    {propertyIdOf("letter-spacing"), words("normal"), {}, kLength},
    {propertyIdOf("word-spacing"), words("normal"), {}, kLength},
    {propertyIdOf("line-height"), words("normal"), {}, kNumber | kLengthOrPercent | kNonNegative},
    {propertyIdOf("list-style-position"), words("inside", "outside"), {}, 0},
    {propertyIdOf("list-style-type"), words("none"), span("disc", "katakana-iroha"), 0},
    {propertyIdOf("overflow"), words("visible", "hidden", "scroll", "auto"), {}, 0},
    {propertyIdOf("orphans"), {}, {}, kInteger},
    {propertyIdOf("widows"), {}, {}, kInteger},
    {propertyIdOf("z-index"), words("auto"), {}, kInteger},
    {propertyIdOf("text-transform"), words("none", "capitalize", "uppercase", "lowercase"), {}, 0},
    {propertyIdOf("vertical-align"), {}, span("baseline", "-konq-baseline-middle"), kLengthOrPercent},
    {propertyIdOf("visibility"), words("visible", "hidden", "collapse"), {}, 0},
    {propertyIdOf("-konq-flow-mode"), words("-konq-normal", "-konq-around-floats"), {}, 0},
};

constexpr auto kSimpleGrammarIndex = [] {
  std::array<const SimpleGrammar*, kStaticPropertyCount + 1> index{};
  for (const SimpleGrammar& grammar : kSimpleGrammars) index[grammar.property] = &grammar;
  return index;
}();

bool accepts(const SimpleGrammar& grammar, int keyword) {
  if (keyword == 0) return false;
  for (int k : grammar.keywords) {
    if (k == keyword) return true;
  }
  return keyword >= grammar.range.first && keyword <= grammar.range.last;
}

Ref<CSSValue> parseSimple(const SimpleGrammar& grammar, DomStringView text) {
  int keyword = keywordIdIgnoringCase(text);
  if (accepts(grammar, keyword)) return asValue(CSSPrimitiveValue::keyword(keyword));
  if (grammar.units == 0) return {};
  return asValue(parseNumberWithUnit(text, grammar.units));
}

// --- the properties with readers of their own ---

constexpr int kColourProperties[] = {
    propertyIdOf("background-color"),        propertyIdOf("color"),
    propertyIdOf("border-top-color"),        propertyIdOf("border-right-color"),
    propertyIdOf("border-bottom-color"),     propertyIdOf("border-left-color"),
    propertyIdOf("text-decoration-color"),   propertyIdOf("scrollbar-face-color"),
    propertyIdOf("scrollbar-shadow-color"),  propertyIdOf("scrollbar-highlight-color"),
    propertyIdOf("scrollbar-3dlight-color"), propertyIdOf("scrollbar-darkshadow-color"),
    propertyIdOf("scrollbar-track-color"),   propertyIdOf("scrollbar-arrow-color"),
};

bool isColourProperty(int id) {
  for (int colourId : kColourProperties) {
    if (colourId == id) return true;
  }
  return false;
}

// A colour property keeps the transparent colour of empty text and "transparent".
Ref<CSSValue> parseColourValue(DomStringView text) {
  Colour colour;
  bool read = parseColour(text, colour);
  if (!read && !colour.transparent) return {};
  return asValue(CSSPrimitiveValue::colour(colour));
}

DomStringView withoutQuotes(DomStringView text) {
  text = trimmed(text);
  if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front()) {
    text = trimmed(text.substr(1, text.size() - 2));
  }
  return text;
}

// "url(" ... ")": the quotes and the blanks inside are dropped; empty is no URI.
Ref<CSSValue> parseUri(DomStringView text) {
  if (!startsWithAsciiIgnoreCase(text, "url(") || text.back() != u')') return {};
  DomStringView uri = withoutQuotes(text.substr(4, text.size() - 5));
  if (uri.empty()) return {};
  return asValue(CSSPrimitiveValue::string(uri, Unit::CSS_URI));
}

Ref<CSSValue> parseImage(DomStringView text, KeywordRange keywords) {
  int keyword = keywordIdIgnoringCase(text);
  if (keyword == keywordIdOf("none") || (keyword >= keywords.first && keyword <= keywords.last)) {
    return asValue(CSSPrimitiveValue::keyword(keyword));
  }
  return parseUri(text);
}

// Calls `visit` with each trimmed piece of a list separated by `separator`
// (outside quotes and groups).
template <typename Visit>
void forEachPiece(DomStringView text, char16_t separator, Visit&& visit) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = scanTo(text, start, separator);
    if (end == DomStringView::npos) end = text.size();
    visit(trimmed(text.substr(start, end - start)));
    start = end + 1;
  }
}

std::vector<DomStringView> splitAt(DomStringView text, char16_t separator) {
  std::vector<DomStringView> pieces;
  forEachPiece(text, separator, [&](DomStringView piece) { pieces.push_back(piece); });
  return pieces;
}

Ref<CSSValue> listOrNone(Ref<CSSValueList> list) {
  if (list->length() == 0) return {};
  return asValue(std::move(list));
}

Ref<CSSValue> parseFontFamily(DomStringView text) {
  auto list = Ref<CSSValueList>::adopt(new CSSValueList(CSSValueList::Separator::Comma));
  forEachPiece(text, u',', [&](DomStringView piece) {
    DomStringView name = withoutQuotes(piece);
    if (!name.empty()) list->append(asValue(FontFamilyValue::create(name, name.size() != piece.size())));
  });
  return listOrNone(std::move(list));
}

Ref<CSSValue> parseFontWeight(DomStringView text) {
  int keyword = keywordIdIgnoringCase(text);
  if (keyword >= keywordIdOf("100") && keyword <= keywordIdOf("500")) keyword = keywordIdOf("normal");
  if (keyword >= keywordIdOf("600") && keyword <= keywordIdOf("900")) keyword = keywordIdOf("bold");
  if (keyword < keywordIdOf("normal") || keyword > keywordIdOf("lighter")) return {};
  return asValue(CSSPrimitiveValue::keyword(keyword));
}

Ref<CSSValue> parseTextAlign(DomStringView text) {
  int keyword = keywordIdIgnoringCase(text);
  if (keyword >= keywordIdOf("-konq-auto") && keyword <= keywordIdOf("-konq-center")) {
    return asValue(CSSPrimitiveValue::keyword(keyword));
  }
  return asValue(CSSPrimitiveValue::string(text));
}

Ref<CSSValue> parseTextDecoration(DomStringView text) {
  if (keywordIdIgnoringCase(text) == keywordIdOf("none"))
    return asValue(CSSPrimitiveValue::keyword(keywordIdOf("none")));
  constexpr int kDecorations[] = {keywordIdOf("underline"), keywordIdOf("overline"), keywordIdOf("line-through"),
                                  keywordIdOf("blink")};
  auto list = Ref<CSSValueList>::adopt(new CSSValueList(CSSValueList::Separator::Space));
  for (DomStringView word : splitTokens(text)) {
    int keyword = keywordIdIgnoringCase(word);
    for (int decoration : kDecorations) {
      if (keyword == decoration) list->append(asValue(CSSPrimitiveValue::keyword(keyword)));
    }
  }
  return listOrNone(std::move(list));
}

Ref<CSSPrimitiveValue> parseRectSide(DomStringView text) {
  if (keywordIdIgnoringCase(text) == keywordIdOf("auto")) return CSSPrimitiveValue::keyword(keywordIdOf("auto"));
  return parseNumberWithUnit(text, kLength);
}

// "rect(top, right, bottom, left)", the sides separated by commas or blanks.
Ref<CSSValue> parseClip(DomStringView text) {
  if (keywordIdIgnoringCase(text) == keywordIdOf("auto"))
    return asValue(CSSPrimitiveValue::keyword(keywordIdOf("auto")));
  if (!startsWithAsciiIgnoreCase(text, "rect(") || text.back() != u')') return {};
  DomStringView inner = text.substr(5, text.size() - 6);
  std::vector<DomStringView> sides =
      inner.find(u',') != DomStringView::npos ? splitAt(inner, u',') : splitTokens(inner);
  if (sides.size() != 4) return {};
  std::array<Ref<CSSPrimitiveValue>, 4> values;
  for (size_t i = 0; i < 4; ++i) {
    values[i] = parseRectSide(sides[i]);
    if (!values[i]) return {};
  }
  auto rect = Ref<Rect>::adopt(new Rect(values[0], values[1], values[2], values[3]));
  return asValue(CSSPrimitiveValue::rect(std::move(rect)));
}

Ref<CSSValue> parseCounters(DomStringView text) {
  auto list = Ref<CSSValueList>::adopt(new CSSValueList(CSSValueList::Separator::Comma));
  for (DomStringView piece : splitAt(text, u',')) {
    if (piece.size() >= 2 && piece.front() == u'"' && piece.back() == u'"') piece = piece.substr(1, piece.size() - 2);
    if (!piece.empty()) list->append(asValue(CSSPrimitiveValue::string(piece)));
  }
  return listOrNone(std::move(list));
}

// Strings, URIs, the quote keywords and counter()/attr() forms (kept as text).
Ref<CSSValue> parseContent(DomStringView text) {
  constexpr int kQuoteWords[] = {keywordIdOf("open-quote"), keywordIdOf("close-quote"), keywordIdOf("no-open-quote"),
                                 keywordIdOf("no-close-quote")};
  auto list = Ref<CSSValueList>::adopt(new CSSValueList(CSSValueList::Separator::Space));
  for (DomStringView token : splitTokens(text)) {
    int keyword = keywordIdIgnoringCase(token);
    bool quoteWord = false;
    for (int word : kQuoteWords) quoteWord |= keyword == word;
    if (quoteWord) {
      list->append(asValue(CSSPrimitiveValue::keyword(keyword)));
    } else if (token.size() >= 2 && (token.front() == u'"' || token.front() == u'\'') &&
               token.back() == token.front()) {
      list->append(asValue(CSSPrimitiveValue::string(token.substr(1, token.size() - 2))));
    } else if (Ref<CSSValue> uri = parseUri(token)) {
      list->append(std::move(uri));
    } else if ((startsWithAsciiIgnoreCase(token, "counter(") || startsWithAsciiIgnoreCase(token, "counters(") ||
                startsWithAsciiIgnoreCase(token, "attr(")) &&
               token.back() == u')') {
      list->append(asValue(CSSPrimitiveValue::string(token)));
    } else {
      return {};
    }
  }
  return listOrNone(std::move(list));
}

}  // namespace
}  // namespace css

Ref<CSSValue> parseLonghandValue(std::int32_t id, DomStringView text) {
  using namespace css;
  text = trimmed(text);
  if (isDynamicProperty(id)) return asValue(CSSPrimitiveValue::string(text));
  if (id < 1 || isShorthand(id) || id == propertyIdOf("background-position")) return {};
  if (const SimpleGrammar* grammar = kSimpleGrammarIndex[id]) return parseSimple(*grammar, text);
  if (id == propertyIdOf("background-color") && keywordIdIgnoringCase(text) == keywordIdOf("transparent")) {
    return asValue(CSSPrimitiveValue::keyword(keywordIdOf("transparent")));
  }
  if (isColourProperty(id)) return parseColourValue(text);
  switch (id) {
    case propertyIdOf("outline-color"):
      if (keywordIdIgnoringCase(text) == keywordIdOf("invert"))
        return asValue(CSSPrimitiveValue::keyword(keywordIdOf("invert")));
      return parseColourValue(text);
    case propertyIdOf("list-style-image"):
      return parseImage(text, {});
    case propertyIdOf("background-image"):
    case propertyIdOf("cursor"):
      return parseImage(text, span("auto", "help"));
    case propertyIdOf("font-family"):
      return parseFontFamily(text);
    case propertyIdOf("font-weight"):
      return parseFontWeight(text);
    case propertyIdOf("text-align"):
      return parseTextAlign(text);
    case propertyIdOf("text-decoration"):
      return parseTextDecoration(text);
    case propertyIdOf("clip"):
    case propertyIdOf("-konq-js-clip"):
      return parseClip(text);
    case propertyIdOf("counter-increment"):
    case propertyIdOf("counter-reset"):
      return parseCounters(text);
    case propertyIdOf("content"):
      return parseContent(text);
    default:
      return {};
  }
}

bool CSSParser::parseValueUnchecked(std::int32_t id, DomStringView text) {
  using namespace css;
  if (text.empty() && !isColourProperty(id)) return false;
  if (text.size() == keywordName(keywordIdOf("inherit")).size() &&
      keywordIdIgnoringCase(text) == keywordIdOf("inherit")) {
    add(id, asValue(Ref<CSSInheritedValue>::adopt(new CSSInheritedValue())));
    return true;
  }
  if (isShorthand(id)) return parseShorthand(id, text);
  if (id == propertyIdOf("background-position")) return parseBackgroundPosition(text);
  Ref<CSSValue> value = parseLonghandValue(id, text);
  if (!value) return false;
  add(id, std::move(value));
  return true;
}
