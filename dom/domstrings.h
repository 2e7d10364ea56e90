#pragma once
// The string constants of the document model: node names of the kinds that
// have no name of their own and the mutation event types. They are kept as
// ASCII and widened once, on first use, into static DomStrings.

#include "dom/domstring.h"

namespace domstrings {

const DomString& empty();
const DomString& nodeName();              // "#node"
const DomString& textName();              // "#text"
const DomString& cdataSectionName();      // "#cdata-section"
const DomString& commentName();           // "#comment"
const DomString& documentName();          // "#document"
const DomString& documentFragmentName();  // "#document-fragment"
const DomString& entityName();            // "#entity"
const DomString& wildcard();              // "*"

const DomString& subtreeModified();           // "DOMSubtreeModified"
const DomString& nodeInserted();              // "DOMNodeInserted"
const DomString& nodeRemoved();               // "DOMNodeRemoved"
const DomString& nodeRemovedFromDocument();   // "DOMNodeRemovedFromDocument"
const DomString& nodeInsertedIntoDocument();  // "DOMNodeInsertedIntoDocument"
const DomString& attrModified();              // "DOMAttrModified"
const DomString& characterDataModified();     // "DOMCharacterDataModified"

// True for the seven names above, the only types Document.createEvent makes.
bool isMutationEventType(const DomString& type);

}  // namespace domstrings
