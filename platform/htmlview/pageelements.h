#pragma once
// Elements whose presentational attributes the engine leaves unread: table
// cells (height, nowrap and the table's cellpadding) and rules (size, width,
// color, noshade). Each turns its attributes into style before the engine
// reads its own, so a page's style sheet or style attribute still wins.

#include <litehtml.h>

#include <memory>
#include <set>
#include <string>

namespace htmlview {

// The element for `tag`, or null for the engine's own; records the source of
// every <img> in `pictureSources`.
std::shared_ptr<litehtml::element> createPageElement(const std::string& tag, const litehtml::string_map& attributes,
                                                     const std::shared_ptr<litehtml::document>& doc,
                                                     std::set<std::string>& pictureSources);

}  // namespace htmlview
