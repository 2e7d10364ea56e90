// A placed text field's starting state, read from its definition.

#include "platform/flash/swfedittext.h"

namespace swf {

namespace {

constexpr double kTwipsPerPoint = 20;

uint32_t rgbOf(Rgba c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

uint16_t twips(double points) { return uint16_t(std::clamp(points * kTwipsPerPoint, 0.0, 65535.0)); }

size_t runsLength(const std::vector<FormatRun>& runs) {
  size_t n = 0;
  for (const FormatRun& run : runs) n += run.length;
  return n;
}

// The runs cover the text exactly: what a change left over is cut, what it
// left bare takes the last format there.
void fitRuns(EditTextState& s) {
  std::erase_if(s.runs, [](const FormatRun& run) { return run.length == 0; });
  size_t length = runsLength(s.runs), size = s.def.text.size();
  while (length > size) {
    size_t cut = std::min(length - size, s.runs.back().length);
    s.runs.back().length -= cut;
    length -= cut;
    if (s.runs.back().length == 0) s.runs.pop_back();
  }
  if (length < size) {
    if (s.runs.empty()) s.runs.push_back({0, s.newFormat});
    s.runs.back().length += size - length;
  }
}

// The index of the run starting at `at`, splitting the run across it.
size_t splitAt(std::vector<FormatRun>& runs, size_t at) {
  size_t start = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (start == at) return i;
    size_t end = start + runs[i].length;
    if (at < end) {
      FormatRun tail{end - at, runs[i].format};
      runs[i].length = at - start;
      runs.insert(runs.begin() + std::ptrdiff_t(i) + 1, std::move(tail));
      return i + 1;
    }
    start = end;
  }
  return runs.size();
}

// The drawn field takes the format of its first character.
void drawFirstFormat(EditTextState& s) {
  const TextFieldFormat& f = formatAt(s, 0);
  s.def.height = std::max<uint16_t>(twips(f.size), 20);
  s.def.color = Rgba{uint8_t(f.color >> 16), uint8_t(f.color >> 8), uint8_t(f.color), 255};
  s.def.align = f.align;
  s.def.leftMargin = twips(f.leftMargin);
  s.def.rightMargin = twips(f.rightMargin);
  s.def.indent = twips(f.indent);
  s.def.leading = int16_t(std::clamp(f.leading * kTwipsPerPoint, -32768.0, 32767.0));
}

}  // namespace

void copyParagraphFormat(const TextFieldFormat& from, TextFieldFormat& to) {
  to.align = from.align;
  to.leftMargin = from.leftMargin;
  to.rightMargin = from.rightMargin;
  to.indent = from.indent;
  to.leading = from.leading;
  to.blockIndent = from.blockIndent;
  to.bullet = from.bullet;
  to.tabStops = from.tabStops;
}

const TextFieldFormat& formatAt(const EditTextState& s, size_t at) {
  size_t start = 0;
  for (const FormatRun& run : s.runs) {
    if (at < start + run.length) return run.format;
    start += run.length;
  }
  return s.runs.empty() ? s.newFormat : s.runs.back().format;
}

void replaceText(EditTextState& s, size_t from, size_t to, std::u32string_view text, const TextFieldFormat& format) {
  fitRuns(s);
  to = std::min(to, s.def.text.size());
  from = std::min(from, to);
  s.def.text.replace(from, to - from, text);
  size_t first = splitAt(s.runs, from);
  size_t last = splitAt(s.runs, to);
  s.runs.erase(s.runs.begin() + std::ptrdiff_t(first), s.runs.begin() + std::ptrdiff_t(last));
  if (!text.empty()) s.runs.insert(s.runs.begin() + std::ptrdiff_t(first), FormatRun{text.size(), format});
  settleFormats(s);
}

void setFormattedText(EditTextState& s, FormattedText text) {
  s.def.text = std::move(text.text);
  s.runs = std::move(text.runs);
  settleFormats(s);
}

void paragraphRange(const EditTextState& s, size_t& from, size_t& to) {
  const std::u32string& text = s.def.text;
  from = std::min(from, text.size());
  to = std::clamp(to, from, text.size());
  size_t before = from == 0 ? std::u32string::npos : text.rfind(U'\r', from - 1);
  from = before == std::u32string::npos ? 0 : before + 1;
  size_t end = text.find(U'\r', to > from ? to - 1 : to);
  to = end == std::u32string::npos ? text.size() : end + 1;
}

void settleFormats(EditTextState& s) {
  fitRuns(s);
  for (size_t start = 0; start < s.def.text.size();) {
    size_t from = start, to = start;
    paragraphRange(s, from, to);
    TextFieldFormat first = formatAt(s, from);
    formatRange(s, from, to, [&](TextFieldFormat& f) { copyParagraphFormat(first, f); });
    start = std::max(to, start + 1);
  }
  drawFirstFormat(s);
}

EditTextState makeEditTextState(const EditTextDef& def, const FontDef* font) {
  EditTextState state;
  state.def = def;
  TextFieldFormat f;
  f.font = font && !font->name.empty() ? font->name : "Times New Roman";
  f.bold = font && font->bold && !def.html;
  f.italic = font && font->italic && !def.html;
  f.size = def.height / kTwipsPerPoint;
  f.color = rgbOf(def.color);
  f.align = def.html ? TextAlign::Left : def.align;
  f.leftMargin = def.leftMargin / kTwipsPerPoint;
  f.rightMargin = def.rightMargin / kTwipsPerPoint;
  f.indent = def.indent / kTwipsPerPoint;
  f.leading = def.leading / kTwipsPerPoint;
  state.newFormat = f;
  state.runs.push_back({def.text.size(), f});
  state.input = !def.readOnly;
  state.selectable = !def.noSelect;
  state.autoSize = def.autoSize ? AutoSize::Left : AutoSize::None;
  state.embedFonts = def.useOutlines;
  if (def.html) {
    state.htmlSource = def.htmlText;
    FormattedText parsed = parseHtml(def.htmlText, f);
    // The drawn text stays the one read with the definition.
    if (parsed.text == def.text) state.runs = std::move(parsed.runs);
  }
  state.initialText = def.text;
  return state;
}

}  // namespace swf
