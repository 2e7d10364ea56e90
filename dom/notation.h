#pragma once
// A notation declaration, kept as a child of its document.

#include "dom/node.h"

class Notation : public Node {
 public:
  Notation(Document* ownerDocument, const DomString& name, const DomString& publicId, const DomString& systemId)
      : Node(ownerDocument), m_name(name), m_publicId(publicId), m_systemId(systemId) {}

  const DomString& nodeName() const override { return m_name; }
  unsigned short nodeType() const override { return NOTATION_NODE; }

  virtual const DomString& publicId() const { return m_publicId; }
  virtual const DomString& systemId() const { return m_systemId; }

 protected:
  ~Notation() override = default;

 private:
  DomString m_name;
  DomString m_publicId;
  DomString m_systemId;
};
