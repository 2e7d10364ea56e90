#pragma once
// Reading a skin file into an SVG document through the XML loader.

#include <string>

#include "dom/skindocumentloader.h"
#include "render/svgdocument.h"
#include "xml/xmlparser.h"

// The document of the file at `path` (an ANSI device path), or none with the
// failure in `result`. An observer hears where each part of the file went.
Ref<SVGDocument> loadSkinDocument(const std::string& path, XmlLoadResult& result, SkinLoadObserver* observer = nullptr);
