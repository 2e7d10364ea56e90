#include "dom/documenttype.h"

#include "dom/namednodemap.h"

Ref<NamedNodeMap> DocumentType::entities() { return TypedChildMap::create(this, ENTITY_NODE); }

Ref<NamedNodeMap> DocumentType::notations() { return TypedChildMap::create(this, NOTATION_NODE); }
