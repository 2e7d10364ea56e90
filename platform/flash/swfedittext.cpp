// A placed text field's starting state, read from its definition.

#include "platform/flash/swfedittext.h"

namespace swf {

namespace {

constexpr double kTwipsPerPoint = 20;

uint32_t rgbOf(Rgba c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

}  // namespace

EditTextState makeEditTextState(const EditTextDef& def, const std::string& fontName) {
  EditTextState state;
  state.def = def;
  TextFieldFormat& f = state.format;
  f.font = fontName.empty() ? "Times New Roman" : fontName;
  f.size = def.height / kTwipsPerPoint;
  f.color = rgbOf(def.color);
  f.align = def.align;
  f.leftMargin = def.leftMargin / kTwipsPerPoint;
  f.rightMargin = def.rightMargin / kTwipsPerPoint;
  f.indent = def.indent / kTwipsPerPoint;
  f.leading = def.leading / kTwipsPerPoint;
  state.newFormat = f;
  state.input = !def.readOnly;
  state.selectable = !def.noSelect;
  state.autoSize = def.autoSize ? AutoSize::Left : AutoSize::None;
  state.embedFonts = def.useOutlines;
  if (def.html) state.htmlSource = def.htmlText;
  state.initialText = def.text;
  return state;
}

}  // namespace swf
