#include "tools/skincheck/checkcontext.h"

#include "platform/core/utf8.h"

std::string utf8(std::u16string_view text) { return toUtf8(text); }

std::vector<SVGElement*> CheckContext::elements() const {
  std::vector<SVGElement*> out;
  std::vector<SVGElement*> pending;
  if (SVGElement* root = document.rootElement()) pending.push_back(root);
  while (!pending.empty()) {
    SVGElement* element = pending.back();
    pending.pop_back();
    out.push_back(element);
    std::size_t mark = pending.size();
    for (Node* child = element->firstChild(); child; child = child->nextSibling())
      if (SVGElement* svgChild = asSVGElement(child)) pending.push_back(svgChild);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
  }
  return out;
}

SourcePosition CheckContext::positionOf(const SkinLoadObserver::Position& position) const {
  SourcePosition fromBytes = source.positionOf(static_cast<std::size_t>(position.byteIndex));
  // The parser's own line is right whatever the encoding; the bytes give the
  // column in characters when they agree with it.
  if (position.line == 0 || fromBytes.line == position.line) return fromBytes;
  return {position.line, position.column};
}

SourcePosition CheckContext::at(const Element* element) const {
  const ElementRecord* r = record.recordOf(element);
  return r ? positionOf(r->position) : SourcePosition{};
}

SourcePosition CheckContext::at(const Element* element, std::u16string_view attribute) const {
  const ElementRecord* r = record.recordOf(element);
  if (!r) return {};
  std::size_t offset = source.attributeOffset(static_cast<std::size_t>(r->position.byteIndex), utf8(attribute));
  return offset == std::string::npos ? positionOf(r->position) : source.positionOf(offset);
}

SourcePosition CheckContext::at(const Element* element, std::u16string_view attribute,
                                std::u16string_view declaration) const {
  const ElementRecord* r = record.recordOf(element);
  if (!r) return {};
  std::size_t offset =
      source.declarationOffset(static_cast<std::size_t>(r->position.byteIndex), utf8(attribute), utf8(declaration));
  return offset == std::string::npos ? at(element, attribute) : source.positionOf(offset);
}

std::string CheckContext::describe(const Element* element) {
  std::string text = utf8(element->tagName());
  const DomString& id = element->getAttribute(u"id");
  if (!id.empty()) text += " '" + utf8(id) + "'";
  return text;
}

std::string CheckContext::describeAt(const Element* element) const {
  SourcePosition p = at(element);
  return describe(element) + " (" + std::to_string(p.line) + ":" + std::to_string(p.column) + ")";
}
