#pragma once
// The string value of the document model and the style engine: the system's
// wide (UTF-16) string. Names and values compare by exact code units.

#include "base/widestring.h"

using DomString = WideString;
