#pragma once
// An entity declaration, kept as a child of its document; a doctype lists the
// document's entities through DocumentType::entities.

#include "dom/domstrings.h"
#include "dom/parentnode.h"

class Entity : public ParentNode {
 public:
  Entity(Document* ownerDocument, const DomString& publicId, const DomString& systemId, const DomString& notationName)
      : ParentNode(ownerDocument), m_publicId(publicId), m_systemId(systemId), m_notationName(notationName) {}

  const DomString& nodeName() const override { return domstrings::entityName(); }
  unsigned short nodeType() const override { return ENTITY_NODE; }

  virtual const DomString& publicId() const { return m_publicId; }
  virtual const DomString& systemId() const { return m_systemId; }
  virtual const DomString& notationName() const { return m_notationName; }

 protected:
  ~Entity() override = default;

 private:
  DomString m_publicId;
  DomString m_systemId;
  DomString m_notationName;
};
