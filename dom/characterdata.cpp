#include "dom/characterdata.h"

#include <utility>

#include "dom/domstrings.h"
#include "dom/mutationevents.h"

void CharacterData::change(DomString data) {
  if (data == m_data) return;
  DomString previous = std::exchange(m_data, std::move(data));
  mutationevents::characterDataModified(this, previous, m_data);
}

void CharacterData::setData(const DomString& data) { change(data); }

DomString CharacterData::substringData(std::size_t offset, std::size_t count) const {
  if (offset >= m_data.size()) return {};
  return m_data.substr(offset, count);
}

void CharacterData::appendData(const DomString& arg) { change(m_data + arg); }

void CharacterData::insertData(std::size_t offset, const DomString& arg) {
  if (offset > m_data.size()) return;
  DomString data = m_data;
  data.insert(offset, arg);
  change(std::move(data));
}

void CharacterData::deleteData(std::size_t offset, std::size_t count) {
  if (offset >= m_data.size()) return;
  DomString data = m_data;
  data.erase(offset, count);
  change(std::move(data));
}

void CharacterData::replaceData(std::size_t offset, std::size_t count, const DomString& arg) {
  if (offset >= m_data.size()) return;
  DomString data = m_data;
  data.replace(offset, count, arg);
  change(std::move(data));
}

const DomString& Text::nodeName() const { return domstrings::textName(); }

Ref<Node> Text::cloneNode(bool) { return Ref<Node>::adopt(new (m_ownerDocument) Text(m_ownerDocument, data())); }

Ref<Text> Text::splitText(std::size_t offset) {
  if (offset > length()) return {};
  const DomString rest = data().substr(offset);
  Ref<Text> tail =
      Ref<Text>::adopt(nodeType() == CDATA_SECTION_NODE ? new (m_ownerDocument) CDATASection(m_ownerDocument, rest)
                                                        : new (m_ownerDocument) Text(m_ownerDocument, rest));
  Ref<Text> keep(this);
  deleteData(offset, length() - offset);
  if (Node* parent = parentNode()) parent->insertBefore(tail.get(), nextSibling());
  return tail;
}

const DomString& CDATASection::nodeName() const { return domstrings::cdataSectionName(); }

Ref<Node> CDATASection::cloneNode(bool) {
  return Ref<Node>::adopt(new (m_ownerDocument) CDATASection(m_ownerDocument, data()));
}

const DomString& Comment::nodeName() const { return domstrings::commentName(); }

Ref<Node> Comment::cloneNode(bool) { return Ref<Node>::adopt(new (m_ownerDocument) Comment(m_ownerDocument, data())); }
