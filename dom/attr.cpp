#include "dom/attr.h"

#include "dom/document.h"
#include "dom/element.h"
#include "dom/event.h"
#include "dom/mutationevents.h"

Attr::Attr(Document* ownerDocument, const PooledName* name)
    : Node(ownerDocument), m_pool(ownerDocument ? ownerDocument->namePool() : nullptr), m_name(name) {}

Ref<Node> Attr::cloneNode(bool) {
  auto* copy = new (m_ownerDocument) Attr(m_ownerDocument, m_name);
  copy->m_pool = m_pool;
  copy->m_value = m_value;
  return Ref<Node>::adopt(copy);
}

void Attr::setValue(const DomString& value) {
  if (!m_parent) {
    m_value = value;
    return;
  }
  const DomString previous = m_value;
  m_value = value;
  mutationevents::attrModified(m_parent, this, previous, m_value, MutationEvent::MODIFICATION);
}

Element* Attr::ownerElement() const { return static_cast<Element*>(m_parent); }

bool Attr::internNameIn(Document* doc) {
  const PooledName* name = doc->namePool()->intern(m_name->namespaceURI, m_name->localName, m_name->qualifiedName);
  if (!name) return false;
  m_pool = Ref<NamePool>(doc->namePool());
  m_name = name;
  return true;
}
