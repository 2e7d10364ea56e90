#pragma once
// A reference to a named entity. It never has children here.

#include "dom/node.h"

class EntityReference : public Node {
 public:
  EntityReference(Document* ownerDocument, const DomString& name) : Node(ownerDocument), m_name(name) {}

  const DomString& nodeName() const override { return m_name; }
  unsigned short nodeType() const override { return ENTITY_REFERENCE_NODE; }
  Ref<Node> cloneNode(bool) override {
    return Ref<Node>::adopt(new (m_ownerDocument) EntityReference(m_ownerDocument, m_name));
  }

 protected:
  ~EntityReference() override = default;

 private:
  DomString m_name;
};
