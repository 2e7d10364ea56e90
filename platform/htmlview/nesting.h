#pragma once
// Keeps a page's element nesting within what the engine lays out in good
// time: the engine walks the tree recursively and slows sharply with depth,
// so opening tags beyond the limit are left out (their text stays). The
// scan follows the tree builder's rules closely enough to count as it does:
// void and raw-text elements, end tags closing up to their match, and the
// elements that close an open sibling (p, li, dt, dd, option, tr, td, th).
// Tables are held to a nesting of their own.

#include <string>
#include <string_view>

namespace htmlview {

inline constexpr int kMaxNesting = 100;
// Each table lays its cells out more than once, so the cost grows
// exponentially with tables inside tables.
inline constexpr int kMaxTableNesting = 6;

std::string limitNesting(std::string_view html, int maxDepth = kMaxNesting, int maxTables = kMaxTableNesting);

}  // namespace htmlview
