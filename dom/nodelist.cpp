#include "dom/nodelist.h"

#include "dom/domstrings.h"

Ref<NodeList> ChildNodeList::create(Node* parent) {
  if (!parent) return {};
  return Ref<NodeList>::adopt(new ChildNodeList(parent));
}

Node* ChildNodeList::item(std::size_t index) {
  std::size_t at = 0;
  Node* node = m_parent->firstChild();
  if (m_node && m_version == domTreeVersion() && m_index <= index) {
    at = m_index;
    node = m_node;
  }
  for (; node && at < index; ++at) node = node->nextSibling();
  if (!node) return nullptr;
  m_version = domTreeVersion();
  m_index = at;
  m_node = node;
  return node;
}

std::size_t ChildNodeList::length() {
  std::size_t count = 0;
  for (Node* n = m_parent->firstChild(); n; n = n->nextSibling()) ++count;
  return count;
}

Node* SubtreeElementList::nextMatch(Node* after) {
  for (Node* n = nextInSubtree(after, m_root.get()); n; n = nextInSubtree(n, m_root.get())) {
    if (n->nodeType() == Node::ELEMENT_NODE && matches(n)) return n;
  }
  return nullptr;
}

Node* SubtreeElementList::item(std::size_t index) {
  if (m_version != domTreeVersion()) {
    m_remembered = false;
    m_lengthKnown = false;
    m_version = domTreeVersion();
  }
  if (m_lengthKnown && index >= m_length) return nullptr;
  std::size_t at = 0;
  Node* node = nextMatch(m_root.get());
  if (m_remembered && m_index <= index) {
    at = m_index;
    node = m_node;
  }
  for (; node && at < index; ++at) node = nextMatch(node);
  if (!node) return nullptr;
  m_remembered = true;
  m_index = at;
  m_node = node;
  return node;
}

std::size_t SubtreeElementList::length() {
  if (m_version == domTreeVersion() && m_lengthKnown) return m_length;
  std::size_t count = 0;
  for (Node* n = nextMatch(m_root.get()); n; n = nextMatch(n)) ++count;
  if (m_version != domTreeVersion()) {
    m_remembered = false;
    m_version = domTreeVersion();
  }
  m_length = count;
  m_lengthKnown = true;
  return count;
}

Ref<NodeList> TagNameNodeList::create(Node* root, const DomString& name) {
  if (!root) return {};
  return Ref<NodeList>::adopt(new TagNameNodeList(root, name));
}

TagNameNodeList::TagNameNodeList(Node* root, const DomString& name)
    : SubtreeElementList(root), m_name(name), m_any(name == domstrings::wildcard()) {}

bool TagNameNodeList::matches(const Node* element) const { return m_any || element->nodeName() == m_name; }

Ref<NodeList> TagNameNSNodeList::create(Node* root, const DomString& namespaceURI, const DomString& localName) {
  if (!root) return {};
  return Ref<NodeList>::adopt(new TagNameNSNodeList(root, namespaceURI, localName));
}

TagNameNSNodeList::TagNameNSNodeList(Node* root, const DomString& namespaceURI, const DomString& localName)
    : SubtreeElementList(root),
      m_namespaceURI(namespaceURI),
      m_localName(localName),
      m_anyNamespace(namespaceURI == domstrings::wildcard()),
      m_anyLocalName(localName == domstrings::wildcard()) {}

bool TagNameNSNodeList::matches(const Node* element) const {
  return (m_anyLocalName || element->localName() == m_localName) &&
         (m_anyNamespace || element->namespaceURI() == m_namespaceURI);
}
