#pragma once
// Engine start: the process-wide pieces every skin document relies on, made
// once before any skin view exists and kept until the process ends.

#include <string>

#include "platform/core/wintypes.h"

// In this order: remembers the module instance and the engine name, fills
// the charset table, makes the property-name registry with its static
// records, registers the "SVGControl" window class. Reports nothing.
void startSkinEngine(HINSTANCE instance, const char* engineName);

HINSTANCE skinEngineInstance();
const std::string& skinEngineName();
// Registers the view's window class unless it exists; false when it cannot.
bool registerSkinViewClass();
