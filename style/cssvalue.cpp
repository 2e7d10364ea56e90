#include "style/cssvalue.h"

#include <array>
#include <cstdio>

#include "style/csskeywords.h"
#include "style/cssparser.h"

namespace {

constexpr std::array<std::string_view, 18> kUnitSuffixes = {"",   "",   "%",   "em",  "ex",   "px", "cm", "mm", "in",
                                                            "pt", "pc", "deg", "rad", "grad", "ms", "s",  "hz", "khz"};

constexpr std::array<std::string_view, 5> kGenericFamilies = {"serif", "sans-serif", "cursive", "fantasy", "monospace"};

// Whether reading `text` back would drop a "<!--" or "-->" in it: outside
// strings, where a token may start (written after ": ", that is at its start or
// after a blank).
bool holdsDroppedMarker(const DomString& text) {
  char16_t quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if ((i == 0 || text[i - 1] == u' ') &&
               (text.compare(i, 3, u"-->") == 0 || text.compare(i, 4, u"<!--") == 0)) {
      return true;
    }
  }
  return false;
}

// A string is written as itself, unless the declaration reader would stop at or
// split on one of `separators` in it, leave out a comment marker, or find a quote
// or bracket left open (which would swallow what follows it): then it goes in
// quotes it does not itself hold, so that the text reads back as one value again.
DomString writtenString(DomStringView text, std::u16string_view separators) {
  // Most values hold none of what the checks look for; the style pass reads
  // every value's text, so those are answered without a copy.
  DomString whole(text);
  if (text.find_first_of(u"\"'([{\\;!,<-") == DomString::npos) return whole;
  bool quote = css::scanTo(whole + u';', 0, u';') != text.size() || holdsDroppedMarker(whole);
  for (char16_t separator : separators) quote = quote || css::scanTo(text, 0, separator) != DomStringView::npos;
  if (!quote) return whole;
  char16_t mark = text.find(u'"') == DomString::npos ? u'"' : u'\'';
  return mark + whole + mark;
}

}  // namespace

DomString formatCssNumber(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  std::string text(buffer);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return toWide(text);
}

Rect::Rect(Ref<CSSPrimitiveValue> top, Ref<CSSPrimitiveValue> right, Ref<CSSPrimitiveValue> bottom,
           Ref<CSSPrimitiveValue> left)
    : m_top(std::move(top)), m_right(std::move(right)), m_bottom(std::move(bottom)), m_left(std::move(left)) {}

Rect::~Rect() = default;

Ref<CSSPrimitiveValue> CSSPrimitiveValue::number(float value, UnitType type) {
  auto result = Ref<CSSPrimitiveValue>::adopt(new CSSPrimitiveValue(type));
  result->m_number = value;
  return result;
}

Ref<CSSPrimitiveValue> CSSPrimitiveValue::string(DomStringView text, UnitType type) {
  return Ref<CSSPrimitiveValue>::adopt(new CSSPrimitiveValue(type, text));
}

// A keyword value never changes, so each keyword of the table has one value,
// made on first use and shared by every declaration that names it (the style
// engine runs on one thread). The table keeps its reference for good, so its
// values come from the heap, never from the arena of the document at hand.
Ref<CSSPrimitiveValue> CSSPrimitiveValue::keyword(int keywordId) {
  static std::array<CSSPrimitiveValue*, css::kKeywordNames.size() + 1> shared{};
  const bool inTable = keywordId >= 1 && static_cast<size_t>(keywordId) < shared.size();
  if (inTable && shared[keywordId]) return Ref<CSSPrimitiveValue>(shared[keywordId]);
  NodeArena::Scope heap(nullptr);
  auto result = Ref<CSSPrimitiveValue>::adopt(new CSSPrimitiveValue(CSS_IDENT));
  result->m_keyword = keywordId;
  if (inTable) shared[keywordId] = Ref<CSSPrimitiveValue>(result).leak();
  return result;
}

Ref<CSSPrimitiveValue> CSSPrimitiveValue::rect(Ref<Rect> rect) {
  auto result = Ref<CSSPrimitiveValue>::adopt(new CSSPrimitiveValue(CSS_RECT));
  result->m_rect = std::move(rect);
  return result;
}

Ref<CSSPrimitiveValue> CSSPrimitiveValue::colour(Colour colour) {
  auto result = Ref<CSSPrimitiveValue>::adopt(new CSSPrimitiveValue(CSS_RGBCOLOR));
  result->m_colour = colour;
  return result;
}

DomString CSSPrimitiveValue::getStringValue() const {
  if (m_type == CSS_STRING || m_type == CSS_URI) return DomString(DomStringView(m_text));
  if (m_type == CSS_IDENT) return toWide(css::keywordName(m_keyword));
  return {};
}

DomString CSSPrimitiveValue::cssText() const {
  if (isNumeric()) return formatCssNumber(m_number) + toWide(kUnitSuffixes[m_type]);
  switch (m_type) {
    case CSS_STRING:
      return writtenString(m_text, u"!");
    case CSS_URI: {
      // In double quotes, unless the URI holds one itself.
      char16_t mark = m_text.find(u'"') == DomString::npos ? u'"' : u'\'';
      return u"url(" + (mark + DomString(DomStringView(m_text)) + mark) + u")";
    }
    case CSS_IDENT:
      return toWide(css::keywordName(m_keyword));
    case CSS_RECT:
      return u"rect(" + m_rect->top()->cssText() + u", " + m_rect->right()->cssText() + u", " +
             m_rect->bottom()->cssText() + u", " + m_rect->left()->cssText() + u")";
    case CSS_RGBCOLOR: {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", m_colour.red & 0xff, m_colour.green & 0xff,
                    m_colour.blue & 0xff);
      return toWide(buffer);
    }
    default:
      return {};
  }
}

Ref<FontFamilyValue> FontFamilyValue::create(DomStringView name, bool quoted) {
  bool generic = false;
  if (!quoted) {
    for (std::string_view family : kGenericFamilies) generic |= css::equalsAsciiIgnoreCase(name, family);
  }
  auto result = Ref<FontFamilyValue>::adopt(new FontFamilyValue(name));
  result->m_generic = generic;
  return result;
}

// Each family name is a string of its own in the list: a comma in it splits too.
DomString FontFamilyValue::cssText() const { return writtenString(getStringValue(), u",!"); }

RGBColor::RGBColor(const Colour& colour)
    : m_red(CSSPrimitiveValue::number(colour.red, CSSPrimitiveValue::CSS_NUMBER)),
      m_green(CSSPrimitiveValue::number(colour.green, CSSPrimitiveValue::CSS_NUMBER)),
      m_blue(CSSPrimitiveValue::number(colour.blue, CSSPrimitiveValue::CSS_NUMBER)) {}

RGBColor::~RGBColor() = default;

Ref<RGBColor> CSSPrimitiveValue::getRGBColorValue() const {
  if (m_type != CSS_RGBCOLOR) return {};
  return Ref<RGBColor>::adopt(new RGBColor(m_colour));
}

DomString CSSValueList::cssText() const {
  DomString text;
  for (const auto& item : m_items) {
    if (!text.empty()) text += m_separator == Separator::Comma ? u", " : u" ";
    text += item->cssText();
  }
  return text;
}
