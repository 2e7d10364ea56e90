#pragma once
// The viewer's default style sheet. The engine carries none of its own, so
// every element's display type, the margins of blocks, headings and lists,
// link colour and underline and the rule come from here, sized for the
// handheld's 240-pixel-wide screen.

namespace htmlview {

extern const char kMasterStyleSheet[];

// The face and size of text no style names.
inline constexpr char kDefaultFontFace[] = "Tahoma";
inline constexpr int kDefaultFontSize = 12;

}  // namespace htmlview
