#pragma once
// A text field on the stage: its own copy of the field's definition, which
// scripts change (text, frame, colours, format), and what only a playing
// field has. The display object placing the field owns it; script objects
// hold it weakly, so a field taken off the stage is seen as gone.

#include <algorithm>
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

// The format of a stretch of a field's text, as TextFormat shows it. The
// paragraph settings (align, margins, indent, leading, blockIndent, bullet,
// tabStops) are the same for every character of one paragraph.
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
  bool operator==(const TextFieldFormat&) const = default;
};

// Copies the paragraph settings of `from` onto `to`.
void copyParagraphFormat(const TextFieldFormat& from, TextFieldFormat& to);

// `length` characters of a field's text in one format.
struct FormatRun {
  size_t length = 0;
  TextFieldFormat format;
};

// Text with the formats of its characters, as an HTML field's markup gives.
struct FormattedText {
  std::u32string text;
  std::vector<FormatRun> runs;
};

// The text and formats of markup, starting in `base`: <p align>, <br>, <li>,
// <font face size color letterSpacing kerning>, <b>, <i>, <u>, <a href
// target> and <textformat>, entities decoded; unknown tags are skipped.
FormattedText parseHtml(std::u32string_view markup, const TextFieldFormat& base);
// The markup the player writes for formatted text (UTF-8): a <P> or <LI> per
// paragraph in a <TEXTFORMAT> when it has settings, a <FONT> with every font
// setting of its first character, and nested tags where the format changes.
std::string writeHtml(const FormattedText& text);

struct EditTextState {
  EditTextDef def;              // what is drawn; its text is the field's text
  std::vector<FormatRun> runs;  // the formats of def.text, in order
  TextFieldFormat newFormat;    // what text a script adds is given
  bool input = false;           // type "input", else "dynamic"
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
  Depth depth = 0;
};

// The size of a field's laid-out text, in twips.
struct TextExtent {
  float width = 0;
  float height = 0;
};
TextExtent measureEditText(const MovieDef& movie, const EditTextState& field);

// The last line a field can be scrolled to, and the last line it shows at
// its scroll, counted from 1.
struct FieldScroll {
  int maxScroll = 1;
  int bottomScroll = 1;
};
FieldScroll fieldScroll(const MovieDef& movie, const EditTextState& field);

// The format of character `at` (of the last one past the end; the format new
// text is given when there is no text).
const TextFieldFormat& formatAt(const EditTextState& state, size_t at);
// Replaces characters [from, to) with `text` in `format`.
void replaceText(EditTextState& state, size_t from, size_t to, std::u32string_view text, const TextFieldFormat& format);
// The whole text and its formats at once.
void setFormattedText(EditTextState& state, FormattedText text);
// Changes the format of characters [from, to) by `change`.
template <typename Change>
void formatRange(EditTextState& state, size_t from, size_t to, Change change);
// Gives each paragraph the settings of its first character and draws the
// field in the format of its first character.
void settleFormats(EditTextState& state);
// [from, to) widened to whole paragraphs (each with its closing return).
void paragraphRange(const EditTextState& state, size_t& from, size_t& to);

// The state of a newly placed field of `def`, its format read from the
// definition and its font (null for none). A plain field takes its font's
// style; an HTML one starts plain and left aligned, as its markup says the rest.
EditTextState makeEditTextState(const EditTextDef& def, const FontDef* font);

template <typename Change>
void formatRange(EditTextState& state, size_t from, size_t to, Change change) {
  std::vector<FormatRun> out;
  size_t at = 0;
  for (FormatRun& run : state.runs) {
    size_t end = at + run.length;
    size_t a = std::clamp(from, at, end), b = std::clamp(to, at, end);
    if (a > at) out.push_back({a - at, run.format});
    if (b > a) {
      out.push_back({b - a, run.format});
      change(out.back().format);
    }
    if (end > b) out.push_back({end - b, run.format});
    at = end;
  }
  state.runs.clear();
  for (FormatRun& run : out) {
    if (!state.runs.empty() && state.runs.back().format == run.format)
      state.runs.back().length += run.length;
    else
      state.runs.push_back(std::move(run));
  }
}

}  // namespace swf
