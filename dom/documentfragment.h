#pragma once
// A lightweight holder of nodes: inserting it inserts its children, in order,
// and leaves it empty.

#include "dom/domstrings.h"
#include "dom/parentnode.h"

class DocumentFragment : public ParentNode {
 public:
  explicit DocumentFragment(Document* ownerDocument) : ParentNode(ownerDocument) {}

  const DomString& nodeName() const override { return domstrings::documentFragmentName(); }
  unsigned short nodeType() const override { return DOCUMENT_FRAGMENT_NODE; }
  Ref<Node> cloneNode(bool deep) override {
    auto* copy = new (m_ownerDocument) DocumentFragment(m_ownerDocument);
    Ref<Node> result = Ref<Node>::adopt(copy);
    if (deep) cloneChildrenInto(copy);
    return result;
  }

 protected:
  ~DocumentFragment() override = default;
};
