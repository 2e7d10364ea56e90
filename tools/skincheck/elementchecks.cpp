// The element set, the style engine and pictures, as the player reads them:
// what is left out, dropped or ignored, and why; what is never drawn.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "render/svgelements.h"
#include "style/colour.h"
#include "style/cssparser.h"
#include "style/propertyregistry.h"
#include "tools/skincheck/checkcontext.h"

namespace {

using Drop = StyleObserver::Drop;

std::string quotedText(std::u16string_view text) { return "'" + utf8(text) + "'"; }

// Attributes that are not style but are not mistakes either.
bool isDocumentAttribute(std::u16string_view name) {
  return name == u"id" || name.starts_with(u"xmlns") || name.starts_with(u"xml:") || name == u"version" ||
         name == u"baseProfile";
}

bool isNumberStart(char16_t c) { return (c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.'; }

std::u16string_view trimmedText(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// The text after the leading number (a unit, or anything else); the whole
// text when it does not start with a number.
std::u16string_view afterNumber(std::u16string_view text) {
  std::string narrow = utf8(text);
  char* end = nullptr;
  std::strtod(narrow.c_str(), &end);
  return text.substr(static_cast<std::size_t>(end - narrow.c_str()));
}

bool startsWithNumber(std::u16string_view text) {
  text = trimmedText(text);
  return !text.empty() && isNumberStart(text.front()) && afterNumber(text).size() < text.size();
}

// Why the grammar refused a value, in the author's terms.
std::string rejectionReason(std::u16string_view name, std::u16string_view value) {
  Colour colour;
  if (name.ends_with(u"color") && !parseColour(value, colour)) return "colour not read";
  if (startsWithNumber(value)) {
    std::u16string_view unit = trimmedText(afterNumber(trimmedText(value)));
    constexpr unsigned kAnyUnit =
        css::kNumber | css::kPercent | css::kLength | css::kAngle | css::kTime | css::kFrequency;
    if (!unit.empty() && !css::parseNumberWithUnit(value, kAnyUnit)) return "unit " + quotedText(unit) + " not known";
  }
  return "value not in the grammar of " + utf8(name);
}

void reportDropped(const CheckContext& c, const Element* e, const DroppedDeclaration& d) {
  const bool fromAttribute = d.attribute == d.name;
  SourcePosition where = fromAttribute ? c.at(e, d.attribute) : c.at(e, d.attribute, d.name);
  std::string declaration = quotedText(d.name + (d.value.empty() ? u"" : u": " + d.value));
  switch (d.drop) {
    case Drop::NoColon:
      return c.report.warning(where, "declaration " + quotedText(d.name) + " has no ':': ignored");
    case Drop::BadPriority:
      return c.report.warning(where, declaration + " dropped: '!' is not followed by 'important'");
    case Drop::EmptyValue:
      return c.report.warning(where, quotedText(d.name) + " has no value: ignored");
    case Drop::Rejected:
      return c.report.warning(where, declaration + " dropped: " + rejectionReason(d.name, d.value));
    case Drop::Replaced:
      // Only what would have been drawn is worth telling.
      if (!isStyledProperty(d.name)) return;
      return c.report.warning(c.at(e, d.name), quotedText(d.name) +
                                                   " is dropped: the style attribute after it replaces every "
                                                   "declaration before it (put the attribute after style)");
  }
}

// The value checks of the properties the style pass reads.
void checkStyledValue(const CheckContext& c, const Element* e, const DeclaredProperty& p, SourcePosition where) {
  const std::u16string_view value = trimmedText(p.value);
  const std::string said = quotedText(p.name + u": " + p.value);
  if (p.name == u"fill" || p.name == u"stroke") {
    Colour colour;
    if (value == u"none" || parseColour(value, colour)) return;
    if (value == u"transparent")
      return c.report.warning(where, said + " is painted black (the painter ignores transparency): write none");
    return c.report.warning(where, said + ": colour not read, painted black");
  }
  if (p.name == u"stroke-width" || p.name == u"fill-opacity") {
    if (!startsWithNumber(value)) return c.report.warning(where, said + ": not a number, read as 0");
    if (p.name == u"fill-opacity") {
      double opacity = std::strtod(utf8(value).c_str(), nullptr);
      if (opacity > 0 && opacity < 1)
        c.report.warning(where, said + ": fills are opaque, only 0 or less hides the fill");
    }
    return;
  }
  if (p.name == u"stroke-opacity") return c.report.warning(where, said + " has no effect: strokes are opaque");
  if (p.name == u"font-weight")
    return c.report.warning(where, said +
                                       " has no effect: the style engine keeps it as a keyword, which the style "
                                       "pass reads as weight 0 (the face's normal weight)");
  if (p.name == u"font-size" && !startsWithNumber(value))
    return c.report.warning(where, said + ": the style pass reads only a number of points, this is 0");
  if (p.name == u"color")
    return c.report.warning(where, said + " has no effect: text and shapes are drawn in their fill");
  (void)e;
}

void checkDeclared(const CheckContext& c, const SVGElement* e, const DeclaredProperty& p) {
  if (p.rejected) return;
  const bool fromAttribute = p.attribute == p.name;
  if (fromAttribute && isDocumentAttribute(p.name)) return;
  SourcePosition where = fromAttribute ? c.at(e, p.attribute) : c.at(e, p.attribute, p.name);
  if (isStyledProperty(p.name)) return checkStyledValue(c, e, p, where);
  if (fromAttribute)
    return c.report.warning(where, "attribute " + quotedText(p.name) + " is not read by " + utf8(e->tagName()) +
                                       " and is no property the player draws with: ignored");
  c.report.warning(where, "property " + quotedText(p.name) +
                              " is ignored: the player draws with fill, stroke, "
                              "stroke-width, fill-opacity, visibility and the font");
}

// Geometry reads a leading number and ignores the rest.
void checkGeometry(const CheckContext& c, const SVGElement* e, const std::u16string& name) {
  static constexpr std::array<std::u16string_view, 3> kNotNumbers = {u"xlink:href", u"points", u"rotate"};
  std::u16string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char16_t ch) { return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch - u'A' + u'a') : ch; });
  if (std::find(kNotNumbers.begin(), kNotNumbers.end(), lower) != kNotNumbers.end()) return;
  // A text's positions are lists, read entry by entry.
  if (e->typeCode() == SVGElement::kText && lower != u"textlength" && lower != u"max-width") return;
  const std::u16string_view value = trimmedText(e->getAttribute(name));
  const std::string said = quotedText(name + u"=\"" + std::u16string(value) + u"\"");
  if (!startsWithNumber(value)) return c.report.warning(c.at(e, name), said + ": not a number, read as 0");
  std::u16string_view unit = trimmedText(afterNumber(value));
  if (!unit.empty() && unit != u"px")
    c.report.warning(c.at(e, name),
                     said + ": the unit " + quotedText(unit) + " is ignored, read as a number of pixels");
}

bool insideG(const SVGElement* e) {
  for (Node* n = e->parentNode(); n; n = n->parentNode())
    if (const SVGElement* p = asSVGElement(n); p && p->typeCode() == SVGElement::kG) return true;
  return false;
}

// Whether the painters reach the element: it has a painter that draws, and
// only `svg` elements lie above it.
bool isDrawn(const SVGElement* e) {
  if (!e->painter() || e->typeCode() == SVGElement::kCircle) return false;
  for (Node* n = e->parentNode(); n; n = n->parentNode()) {
    const SVGElement* p = asSVGElement(n);
    if (p && p->typeCode() != SVGElement::kSvg) return false;
  }
  return true;
}

// The paint the element itself asks for: a fill or stroke, a picture, text.
std::u16string ownPaint(const SVGElement* e, const ElementRecord& r) {
  for (const DeclaredProperty& p : r.declared)
    if (!p.rejected && (p.name == u"fill" || p.name == u"stroke") && trimmedText(p.value) != u"none") return p.name;
  if (e->typeCode() == SVGElement::kImage && !e->getAttribute(u"xlink:href").empty()) return u"picture";
  if (auto* text = dynamic_cast<const SVGTextElement*>(e); text && !trimmedText(text->text()).empty()) return u"text";
  return {};
}

void checkDrawn(const CheckContext& c, const SVGElement* e, const ElementRecord& r) {
  if (e == c.document.rootElement()) return;
  if (isDrawn(e)) {
    const ComputedStyle* style = e->computedStyle();
    if (e->typeCode() == SVGElement::kText && style && style->fill.isNone())
      c.report.warning(c.at(e), CheckContext::describe(e) + " has no fill: text is drawn only in its fill colour");
    return;
  }
  std::u16string paint = ownPaint(e, r);
  if (paint.empty()) return;
  std::string what = CheckContext::describe(e);
  std::string why = e->typeCode() == SVGElement::kG ? "a g is never drawn, nor anything inside it"
                    : insideG(e)                    ? "what lies inside a g is never drawn (it only takes part in "
                                                      "hit testing)"
                                                    : "only svg, rect, image and text are drawn";
  c.report.warning(c.at(e), what + " is never drawn, so its " + utf8(paint) + " does nothing: " + why);
}

// The device path the engine decodes a picture from.
std::u16string picturePath(const SVGDocument& document, std::u16string_view reference) {
  std::string ref = wideToAnsi(reference);
  if (!ref.empty() && (ref.front() == '/' || ref.front() == '\\')) return ansiToWide(ref);
  const std::string& file = document.filePath();
  std::size_t slash = file.find_last_of("/\\");
  return ansiToWide((slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + ref);
}

void checkPicture(const CheckContext& c, const SVGImageElement* image) {
  if (!image->hasAttribute(u"xlink:href")) {
    c.report.warning(c.at(image), CheckContext::describe(image) + " has no xlink:href: it shows only its fill");
    return;
  }
  if (image->picture() && image->picture()->Ok()) return;
  std::u16string path = picturePath(c.document, image->href());
  std::string name = quotedText(image->href());
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    c.report.error(c.at(image, u"xlink:href"), "picture " + name + " not found beside the skin");
  else
    c.report.error(c.at(image, u"xlink:href"), "picture " + name + " cannot be decoded (JPEG, GIF, PNG or BMP)");
}

void checkElement(const CheckContext& c, const SVGElement* e) {
  const ElementRecord* r = c.record.recordOf(e);
  if (!r) return;
  for (const DroppedDeclaration& d : r->dropped) reportDropped(c, e, d);
  for (const DeclaredProperty& p : r->declared) checkDeclared(c, e, p);
  for (const std::u16string& name : r->geometry) checkGeometry(c, e, name);
  checkDrawn(c, e, *r);
  if (auto* image = dynamic_cast<const SVGImageElement*>(e)) checkPicture(c, image);
}

}  // namespace

void checkElements(const CheckContext& c) {
  for (const SkippedPart& part : c.record.skippedElements())
    c.report.warning(c.positionOf(part.position), "element " + quotedText(part.text) +
                                                      " is not part of the skin language: it is left out with "
                                                      "everything inside it");
  for (const SkippedPart& part : c.record.droppedTexts())
    c.report.warning(c.positionOf(part.position),
                     "text " + quotedText(trimmedText(part.text)) + " outside a text element is dropped");
  for (const SVGElement* e : c.elements()) checkElement(c, e);
}
