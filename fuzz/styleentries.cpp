#include <cstdlib>

#include "fuzz/fuzzentries.h"
#include "style/colour.h"
#include "style/cssproperties.h"
#include "style/cssstyledeclaration.h"
#include "style/propertyregistry.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

DomString fuzzText(const std::uint8_t* data, std::size_t size) {
  DomString text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  } else {
    for (std::size_t i = 0; i < size; ++i) text.push_back(data[i]);
  }
  return text;
}

int fuzzDeclarationParser(const std::uint8_t* data, std::size_t size) {
  DomString text = fuzzText(data, size);
  CSSStyleDeclaration declaration;
  declaration.setCssText(text);
  // What the declaration writes back reads again without harm. It need not
  // give the same declarations: strings are written as themselves, and a
  // property's grammar may refuse what it once read inside quotes or groups
  // (the declaration tests hold the round trips the engine keeps).
  CSSStyleDeclaration again;
  again.setCssText(declaration.cssText());
  for (const CSSProperty& property : again.properties()) require(property.value && property.id >= 1);
  // The same text as the value of a few properties of each kind.
  for (std::int32_t id : {css::propertyIdOf("font"), css::propertyIdOf("background"), css::propertyIdOf("border"),
                          css::propertyIdOf("margin"), css::propertyIdOf("color"), css::propertyIdOf("clip"),
                          css::propertyIdOf("font-family"), css::propertyIdOf("width")}) {
    declaration.setProperty(id, text, false);
    for (const CSSProperty& property : declaration.properties()) require(property.value && property.id >= 1);
  }
  return 0;
}

int fuzzColourReader(const std::uint8_t* data, std::size_t size) {
  Colour colour;
  bool read = parseColour(fuzzText(data, size), colour);
  require(colour.red <= 255 && colour.green <= 255 && colour.blue <= 255);
  if (!read) require(colour.red == 0 && colour.green == 0 && colour.blue == 0);
  return 0;
}
