#pragma once
// The skin in each of its states, drawn by the player's own skin view: no
// movie, playing, paused, each pushed face, the thumbs at 0, 50 and 100 %,
// side by side with a caption each; and a second picture with every agreed
// element's box outlined and labelled.

#include <string>

#include "render/svgdocument.h"

// Writes OUT.png and OUT-ids.png (beside it, "-ids" before the extension).
// Changes the document's elements as the player does.
bool writePreview(const Ref<SVGDocument>& document, const std::string& out, std::string& error);
// The second picture's path for `out`.
std::string idsPicturePath(const std::string& out);
