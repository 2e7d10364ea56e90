#include "dom/domstrings.h"

#include <array>

namespace domstrings {

#define ORVEL_DOM_STRING(function, ascii)         \
  const DomString& function() {                   \
    static const DomString value = toWide(ascii); \
    return value;                                 \
  }

ORVEL_DOM_STRING(empty, "")
ORVEL_DOM_STRING(nodeName, "#node")
ORVEL_DOM_STRING(textName, "#text")
ORVEL_DOM_STRING(cdataSectionName, "#cdata-section")
ORVEL_DOM_STRING(commentName, "#comment")
ORVEL_DOM_STRING(documentName, "#document")
ORVEL_DOM_STRING(documentFragmentName, "#document-fragment")
ORVEL_DOM_STRING(entityName, "#entity")
ORVEL_DOM_STRING(wildcard, "*")
ORVEL_DOM_STRING(subtreeModified, "DOMSubtreeModified")
ORVEL_DOM_STRING(nodeInserted, "DOMNodeInserted")
ORVEL_DOM_STRING(nodeRemoved, "DOMNodeRemoved")
ORVEL_DOM_STRING(nodeRemovedFromDocument, "DOMNodeRemovedFromDocument")
ORVEL_DOM_STRING(nodeInsertedIntoDocument, "DOMNodeInsertedIntoDocument")
ORVEL_DOM_STRING(attrModified, "DOMAttrModified")
ORVEL_DOM_STRING(characterDataModified, "DOMCharacterDataModified")

#undef ORVEL_DOM_STRING

bool isMutationEventType(const DomString& type) {
  using Getter = const DomString& (*)();
  static constexpr std::array<Getter, 7> kTypes = {
      subtreeModified,          nodeInserted, nodeRemoved,           nodeRemovedFromDocument,
      nodeInsertedIntoDocument, attrModified, characterDataModified,
  };
  for (Getter name : kTypes) {
    if (name() == type) return true;
  }
  return false;
}

}  // namespace domstrings
