#pragma once
// Every class of the document model, for code that uses many of them.

#include "dom/attr.h"
#include "dom/characterdata.h"
#include "dom/document.h"
#include "dom/documentfragment.h"
#include "dom/documenttype.h"
#include "dom/domimplementation.h"
#include "dom/element.h"
#include "dom/entity.h"
#include "dom/entityreference.h"
#include "dom/event.h"
#include "dom/namednodemap.h"
#include "dom/namepool.h"
#include "dom/nodelist.h"
#include "dom/notation.h"
#include "dom/processinginstruction.h"
