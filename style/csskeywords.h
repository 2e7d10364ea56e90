#pragma once
// The value keywords of the style engine, ids 1-180 in table order, and their
// lookup. Named ids are spelled through keywordIdOf so that the table stays the
// one place that numbers them.

#include <array>
#include <cstdint>
#include <string_view>

#include "style/csstext.h"

namespace css {

inline constexpr std::array<std::string_view, 180> kKeywordNames = {
    "inherit", "none", "hidden", "dotted", "dashed", "double", "solid", "outset", "inset", "groove",
    "ridge", "caption", "icon", "menu", "message-box", "small-caption", "status-bar", "italic",
    "oblique", "small-caps", "normal", "bold", "bolder", "lighter", "100", "200", "300", "400",
    "500", "600", "700", "800", "900", "xx-small", "x-small", "small", "medium", "large", "x-large",
    "xx-large", "-konq-xxx-large", "smaller", "larger", "wider", "narrower", "ultra-condensed",
    "extra-condensed", "condensed", "semi-condensed", "semi-expanded", "expanded", "extra-expanded",
    "ultra-expanded", "serif", "sans-serif", "cursive", "fantasy", "monospace", "transparent",
    "repeat", "repeat-x", "repeat-y", "no-repeat", "baseline", "middle", "sub", "super", "text-top",
    "text-bottom", "top", "bottom", "-konq-baseline-middle", "-konq-auto", "left", "right",
    "center", "justify", "-konq-center", "outside", "inside", "disc", "circle", "square", "decimal",
    "decimal-leading-zero", "lower-roman", "upper-roman", "lower-greek", "lower-alpha",
    "lower-latin", "upper-alpha", "upper-latin", "hebrew", "armenian", "georgian",
    "cjk-ideographic", "hiragana", "katakana", "hiragana-iroha", "katakana-iroha", "inline",
    "block", "list-item", "run-in", "compact", "marker", "table", "inline-table", "table-row-group",
    "table-header-group", "table-footer-group", "table-row", "table-column-group", "table-column",
    "table-cell", "table-caption", "auto", "crosshair", "default", "pointer", "move", "e-resize",
    "ne-resize", "nw-resize", "n-resize", "se-resize", "sw-resize", "s-resize", "w-resize", "text",
    "wait", "help", "ltr", "rtl", "capitalize", "uppercase", "lowercase", "visible", "collapse",
    "above", "absolute", "always", "avoid", "below", "bidi-override", "blink", "both",
    "close-quote", "crop", "cross", "embed", "fixed", "hand", "hide", "higher", "invert",
    "landscape", "level", "line-through", "loud", "lower", "mix", "no-close-quote", "no-open-quote",
    "nowrap", "open-quote", "overline", "portrait", "pre", "relative", "scroll", "separate", "show",
    "static", "static-position", "thick", "thin", "underline", "-konq-normal",
    "-konq-around-floats",
};

inline constexpr size_t kMinKeywordLength = 3;
inline constexpr size_t kMaxKeywordLength = 21;

// The id of a keyword of the table, for naming ids in code (compile time).
consteval int keywordIdOf(std::string_view name) {
  for (size_t i = 0; i < kKeywordNames.size(); ++i) {
    if (kKeywordNames[i] == name) return static_cast<int>(i + 1);
  }
  throw "not a keyword";  // makes a misspelt name a compile error
}

// The keyword id of lower-case, trimmed text; 0 when it is none of them.
int keywordId(DomStringView text);
// The same for text in any letter case (ASCII letters fold), without a copy.
int keywordIdIgnoringCase(DomStringView text);
// The text of keyword `id` (empty for an id outside 1-180).
std::string_view keywordName(int id);

}  // namespace css
