#pragma once
// An element: an interned tag name, children, and attribute nodes kept in
// insertion order. Classes of a richer element set derive from it and learn
// about attribute changes through attributeChanged.
//
// A skin brings tens of thousands of attributes that nobody asks for as nodes,
// so what a loader sets is kept as a name and a value in one block from the
// document's arena; the first call that hands out or changes attribute nodes
// turns them into Attr nodes, in the same order, before it does its work.

#include <cstdint>
#include <span>

#include "dom/attr.h"
#include "dom/namepool.h"
#include "dom/parentnode.h"

class NodeList;

class Element : public ParentNode {
 public:
  // `name` must come from the pool of `ownerDocument` (Document::internName).
  Element(Document* ownerDocument, const PooledName* name);

  const DomString& nodeName() const override { return m_name->qualifiedName; }
  unsigned short nodeType() const override { return ELEMENT_NODE; }
  Ref<NamedNodeMap> attributes() override;
  Ref<Node> cloneNode(bool deep) override;
  const DomString& namespaceURI() const override { return m_name->namespaceURI; }
  const DomString& localName() const override { return m_name->localName; }
  bool hasAttributes() const override { return m_firstAttribute != nullptr || m_parsedCount != 0; }

  virtual const DomString& tagName() const { return m_name->qualifiedName; }
  // The value, or an empty string when there is no such attribute.
  virtual const DomString& getAttribute(const DomString& name) const;
  // The value of the attribute, or none when there is no such attribute.
  const DomString* attributeValue(const DomString& name) const { return findAttribute(name).value; }
  // An attribute's pooled name and value, both none when there is no such attribute.
  struct AttributeEntry {
    const PooledName* name = nullptr;
    const DomString* value = nullptr;
  };
  AttributeEntry findAttribute(const DomString& name) const;
  // Installs a new Attr made by the owner document (replacing one of the same
  // name). Answers false, changing nothing, when the name cannot be interned.
  virtual bool setAttribute(const DomString& name, DomString value);
  // Whether an attribute of the same name may be there for setParsedAttribute
  // to replace: a parser's start tag never names one twice, so on an element
  // that came without attributes none can be.
  enum class Earlier { MayExist, CannotExist };
  // setAttribute for a loader: `name` comes from the owner document's pool
  // (Document::internName), the value is the parser's text. Answers the value
  // as kept; none, changing nothing, for an element without an owner document.
  const DomString* setParsedAttribute(const PooledName* name, WideStringView value, Earlier earlier);
  // Room for the `count` attributes a loader is about to set on an element
  // that has none, so that their block is carved once.
  void reserveParsedAttributes(std::uint32_t count);
  // Whether setParsedAttribute keeps what it is given as a name and a value
  // (no attribute nodes yet, and no change anyone could hear).
  bool keepsParsedAttributes() const;
  virtual void removeAttribute(const DomString& name);
  virtual Attr* getAttributeNode(const DomString& name) const;
  // Answers the attribute it replaced, or none. Refused (none, nothing changes)
  // for an attribute of another document or one that already has an owner.
  virtual Attr* setAttributeNode(Attr* newAttr);
  // Answers the attribute, now detached, or none when it is not one of ours.
  virtual Attr* removeAttributeNode(Attr* oldAttr);
  virtual Ref<NodeList> getElementsByTagName(const DomString& name);
  // Told after an attribute changed, by whoever changed it (the loader, the
  // player); elements that read attributes into typed fields override it.
  virtual void attributeChanged(const DomString& name);
  // attributeChanged for a loader that has just set `name` to `value` (as
  // setParsedAttribute answered it), so that the element need not look for it.
  virtual void parsedAttributeSet(const PooledName* name, const DomString& value);
  // For a loader that has set every attribute of a start tag on an element
  // that had none and keeps them as names and values: parsedAttributeSet for
  // each, in order, unless the element knows a shorter way to the same end.
  virtual void parsedAttributesSet();

  const DomString& getAttributeNS(const DomString& namespaceURI, const DomString& localName) const;
  bool setAttributeNS(const DomString& namespaceURI, const DomString& qualifiedName, const DomString& value);
  void removeAttributeNS(const DomString& namespaceURI, const DomString& localName);
  Attr* getAttributeNodeNS(const DomString& namespaceURI, const DomString& localName) const;
  Attr* setAttributeNodeNS(Attr* newAttr);
  Ref<NodeList> getElementsByTagNameNS(const DomString& namespaceURI, const DomString& localName);
  bool hasAttribute(const DomString& name) const { return attributeValue(name) != nullptr; }
  bool hasAttributeNS(const DomString& namespaceURI, const DomString& localName) const {
    return getAttributeNodeNS(namespaceURI, localName) != nullptr;
  }

  const PooledName* pooledName() const { return m_name; }
  Attr* firstAttribute() const;
  // Re-interns the tag name in doc's pool; false (name unchanged) when it is full.
  bool internNameIn(Document* doc);

 protected:
  ~Element() override;

  // An attribute a loader set that is not an Attr node yet.
  struct ParsedAttribute {
    const PooledName* name;  // from m_pool
    DomString value;
  };
  // The attributes kept as names and values, in the order they were set.
  std::span<const ParsedAttribute> parsedAttributes() const { return {m_parsed, m_parsedCount}; }

 private:
  enum class Match { QualifiedName, NamespaceAndLocalName };
  Attr* installAttribute(Attr* newAttr, Match match);
  void appendAttribute(Attr* attr);
  Attr* findAttributeNode(const DomString& name) const;

  void appendParsed(const PooledName* name, WideStringView value);
  void growParsed(std::uint32_t capacity);
  // Makes the parsed attributes Attr nodes at the front of the list (there
  // are parsed attributes only while the list is empty).
  void materializeAttributes() const;
  void dropParsed() const;

  Ref<NamePool> m_pool;  // keeps m_name valid
  const PooledName* m_name;
  mutable Attr* m_firstAttribute = nullptr;  // owned, through the list
  mutable Attr* m_lastAttribute = nullptr;   // the end of that list, where new ones go
  // Owned: a block of m_parsedCapacity entries carved from the document's
  // arena, the first m_parsedCount of them constructed.
  mutable ParsedAttribute* m_parsed = nullptr;
  mutable std::uint32_t m_parsedCount = 0;
  mutable std::uint32_t m_parsedCapacity = 0;
};
