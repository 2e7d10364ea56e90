#pragma once
// A text field on the stage: its own copy of the field's definition, which
// scripts change (text, frame, colours, format), and what only a playing
// field has. The display object placing the field owns it; script objects
// hold it weakly, so a field taken off the stage is seen as gone.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/flash/swftext.h"

namespace swf {
struct MovieDef;
}

namespace swf {

class TimelineInstance;
struct DisplayObject;

enum class AutoSize : uint8_t { None, Left, Center, Right };

// The format the whole field is drawn in, as TextFormat shows it.
struct TextFieldFormat {
  std::string font;
  double size = 12;
  uint32_t color = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  std::string url;
  std::string target;
  TextAlign align = TextAlign::Left;
  double leftMargin = 0;
  double rightMargin = 0;
  double indent = 0;
  double leading = 0;
  double blockIndent = 0;
  bool bullet = false;
  bool kerning = false;
  double letterSpacing = 0;
  std::vector<double> tabStops;
};

struct EditTextState {
  EditTextDef def;  // what is drawn; its text is the field's text
  TextFieldFormat format;
  TextFieldFormat newFormat;  // what text a script adds is given
  bool input = false;         // type "input", else "dynamic"
  bool selectable = true;
  bool embedFonts = false;
  bool condenseWhite = false;
  bool mouseWheelEnabled = true;
  AutoSize autoSize = AutoSize::None;
  int hscroll = 0;
  int scroll = 1;
  double tabIndex = -1;  // -1: none given
  std::string restrict;
  bool hasRestrict = false;
  std::u32string htmlSource;   // the markup last given to an HTML field
  std::u32string initialText;  // what a newly bound variable is given
  // Where the field is shown; non-owning back-links kept by its timeline.
  TimelineInstance* parent = nullptr;
  DisplayObject* holder = nullptr;
  uint16_t depth = 0;
};

// The size of a field's laid-out text, in twips.
struct TextExtent {
  float width = 0;
  float height = 0;
};
TextExtent measureEditText(const MovieDef& movie, const EditTextDef& field);

// The state of a newly placed field of `def`, its format read from the
// definition (`fontName` is the name of its font, empty for none).
EditTextState makeEditTextState(const EditTextDef& def, const std::string& fontName);

}  // namespace swf
