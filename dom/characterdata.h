#pragma once
// Nodes that hold text: Text, CDATASection and Comment. Offsets and counts
// are in UTF-16 code units; every edit that changes the data fires
// DOMCharacterDataModified.

#include <cstddef>
#include <utility>

#include "dom/node.h"

class CharacterData : public Node {
 public:
  const DomString& nodeValue() const override { return m_data; }
  void setNodeValue(const DomString& value) override { setData(value); }

  virtual const DomString& data() const { return m_data; }
  virtual void setData(const DomString& data);
  virtual std::size_t length() const { return m_data.size(); }
  // Empty when offset is at or past the end; count is cut at the end.
  virtual DomString substringData(std::size_t offset, std::size_t count) const;
  virtual void appendData(const DomString& arg);
  // At any offset up to and including the length; nothing beyond it.
  virtual void insertData(std::size_t offset, const DomString& arg);
  // Nothing when offset is at or past the end.
  virtual void deleteData(std::size_t offset, std::size_t count);
  virtual void replaceData(std::size_t offset, std::size_t count, const DomString& arg);

 protected:
  CharacterData(Document* ownerDocument, DomString data) : Node(ownerDocument), m_data(std::move(data)) {}
  ~CharacterData() override = default;

 private:
  void change(DomString data);

  DomString m_data;
};

class Text : public CharacterData {
 public:
  Text(Document* ownerDocument, DomString data) : CharacterData(ownerDocument, std::move(data)) {}

  const DomString& nodeName() const override;
  unsigned short nodeType() const override { return TEXT_NODE; }
  Ref<Node> cloneNode(bool deep) override;

  // Moves the data from offset on into a new node of the same kind, placed
  // after this one when this one has a parent. None when offset is past the end.
  virtual Ref<Text> splitText(std::size_t offset);

 protected:
  ~Text() override = default;
};

class CDATASection : public Text {
 public:
  CDATASection(Document* ownerDocument, const DomString& data) : Text(ownerDocument, data) {}

  const DomString& nodeName() const override;
  unsigned short nodeType() const override { return CDATA_SECTION_NODE; }
  Ref<Node> cloneNode(bool deep) override;

 protected:
  ~CDATASection() override = default;
};

class Comment : public CharacterData {
 public:
  Comment(Document* ownerDocument, const DomString& data) : CharacterData(ownerDocument, data) {}

  const DomString& nodeName() const override;
  unsigned short nodeType() const override { return COMMENT_NODE; }
  Ref<Node> cloneNode(bool deep) override;

 protected:
  ~Comment() override = default;
};
