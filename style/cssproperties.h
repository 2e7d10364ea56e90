#pragma once
// The static CSS properties, ids 1-113 in table order. Ids 92-105 are the
// shorthands; names registered later get 114 and up (see PropertyRegistry).

#include <array>
#include <string_view>

namespace css {

inline constexpr std::array<std::string_view, 113> kStaticPropertyNames = {
    "background-color",
    "background-image",
    "background-repeat",
    "background-attachment",
    "background-position",
    "background-position-x",
    "background-position-y",
    "border-collapse",
    "border-spacing",
    "border-top-color",
    "border-right-color",
    "border-bottom-color",
    "border-left-color",
    "border-top-style",
    "border-right-style",
    "border-bottom-style",
    "border-left-style",
    "border-top-width",
    "border-right-width",
    "border-bottom-width",
    "border-left-width",
    "bottom",
    "caption-side",
    "clear",
    "clip",
    "-konq-js-clip",
    "color",
    "content",
    "counter-increment",
    "counter-reset",
    "cursor",
    "direction",
    "display",
    "empty-cells",
    "float",
    "font-family",
    "font-size",
    "font-size-adjust",
    "font-stretch",
    "font-style",
    "font-variant",
    "font-weight",
    "height",
    "left",
    "letter-spacing",
    "line-height",
    "list-style-image",
    "list-style-position",
    "list-style-type",
    "margin-top",
    "margin-right",
    "margin-bottom",
    "margin-left",
    "marker-offset",
    "max-height",
    "max-width",
    "min-height",
    "min-width",
    "orphans",
    "outline-color",
    "outline-style",
    "outline-width",
    "overflow",
    "padding-top",
    "padding-right",
    "padding-bottom",
    "padding-left",
    "page",
    "page-break-after",
    "page-break-before",
    "page-break-inside",
    "position",
    "quotes",
    "right",
    "size",
    "table-layout",
    "text-align",
    "text-decoration",
    "text-decoration-color",
    "text-indent",
    "text-shadow",
    "text-transform",
    "top",
    "unicode-bidi",
    "vertical-align",
    "visibility",
    "white-space",
    "widows",
    "width",
    "word-spacing",
    "z-index",
    "background",
    "border",
    "border-color",
    "border-style",
    "border-top",
    "border-right",
    "border-bottom",
    "border-left",
    "border-width",
    "font",
    "list-style",
    "margin",
    "outline",
    "padding",
    "scrollbar-face-color",
    "scrollbar-shadow-color",
    "scrollbar-highlight-color",
    "scrollbar-3dlight-color",
    "scrollbar-darkshadow-color",
    "scrollbar-track-color",
    "scrollbar-arrow-color",
    "-konq-flow-mode",
};

inline constexpr int kStaticPropertyCount = static_cast<int>(kStaticPropertyNames.size());

consteval int propertyIdOf(std::string_view name) {
  for (size_t i = 0; i < kStaticPropertyNames.size(); ++i) {
    if (kStaticPropertyNames[i] == name) return static_cast<int>(i + 1);
  }
  throw "not a static property";  // makes a misspelt name a compile error
}

inline constexpr int kFirstShorthandId = propertyIdOf("background");
inline constexpr int kLastShorthandId = propertyIdOf("padding");

constexpr bool isShorthand(int id) { return id >= kFirstShorthandId && id <= kLastShorthandId; }
constexpr bool isDynamicProperty(int id) { return id > kStaticPropertyCount; }

}  // namespace css
