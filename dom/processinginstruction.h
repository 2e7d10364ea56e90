#pragma once
// A processing instruction: a target and its data.

#include "dom/node.h"

class ProcessingInstruction : public Node {
 public:
  ProcessingInstruction(Document* ownerDocument, const DomString& target, const DomString& data)
      : Node(ownerDocument), m_target(target), m_data(data) {}

  const DomString& nodeName() const override { return m_target; }
  const DomString& nodeValue() const override { return m_data; }
  void setNodeValue(const DomString& value) override { setData(value); }
  unsigned short nodeType() const override { return PROCESSING_INSTRUCTION_NODE; }
  Ref<Node> cloneNode(bool) override {
    return Ref<Node>::adopt(new (m_ownerDocument) ProcessingInstruction(m_ownerDocument, m_target, m_data));
  }

  virtual const DomString& target() const { return m_target; }
  virtual const DomString& data() const { return m_data; }
  virtual void setData(const DomString& data) { m_data = data; }

 protected:
  ~ProcessingInstruction() override = default;

 private:
  DomString m_target;
  DomString m_data;
};
