// An HTML field's markup read into formatted text, and formatted text
// written back as the markup the player gives for htmlText.

#include <cmath>

#include "platform/flash/avmvalue.h"
#include "platform/flash/swfedittext.h"

namespace swf {

namespace {

constexpr char32_t kParagraph = U'\r';

struct Tag {
  std::string name;  // lower case
  bool closing = false;
  std::vector<std::pair<std::string, std::u32string>> attributes;  // names lower case

  const std::u32string* attribute(std::string_view wanted) const {
    for (const auto& [name, value] : attributes)
      if (name == wanted) return &value;
    return nullptr;
  }
};

bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r'; }
std::string asciiOf(std::u32string_view text) {
  std::string out(text.size(), '?');
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] < 0x80) out[i] = char(text[i]);
  return out;
}

std::string lowerName(std::u32string_view text) { return avm::toLowerAscii(asciiOf(text)); }

// The text between '<' and '>': a name, then name=value pairs, quoted or not.
Tag readTag(std::u32string_view inside) {
  Tag tag;
  size_t at = 0;
  if (at < inside.size() && inside[at] == U'/') tag.closing = true, ++at;
  size_t start = at;
  while (at < inside.size() && !isSpace(inside[at]) && inside[at] != U'/') ++at;
  tag.name = lowerName(inside.substr(start, at - start));
  while (at < inside.size()) {
    while (at < inside.size() && (isSpace(inside[at]) || inside[at] == U'/')) ++at;
    start = at;
    while (at < inside.size() && !isSpace(inside[at]) && inside[at] != U'=' && inside[at] != U'/') ++at;
    std::string name = lowerName(inside.substr(start, at - start));
    while (at < inside.size() && isSpace(inside[at])) ++at;
    std::u32string value;
    if (at < inside.size() && inside[at] == U'=') {
      ++at;
      while (at < inside.size() && isSpace(inside[at])) ++at;
      if (at < inside.size() && (inside[at] == U'"' || inside[at] == U'\'')) {
        char32_t quote = inside[at++];
        size_t end = inside.find(quote, at);
        if (end == std::u32string_view::npos) end = inside.size();
        value = std::u32string(inside.begin() + std::ptrdiff_t(at), inside.begin() + std::ptrdiff_t(end));
        at = std::min(end + 1, inside.size());
      } else {
        start = at;
        while (at < inside.size() && !isSpace(inside[at])) ++at;
        value = std::u32string(inside.begin() + std::ptrdiff_t(start), inside.begin() + std::ptrdiff_t(at));
      }
    }
    if (!name.empty()) tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  return tag;
}

double numberOf(const std::u32string& text) { return avm::stringToNumber(asciiOf(text), 8); }

bool colourOf(const std::u32string& text, uint32_t& rgb) {
  std::string digits = asciiOf(text);
  if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
  if (digits.empty() || digits.size() > 8) return false;
  rgb = 0;
  for (char c : digits) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (d < 0) return false;
    rgb = rgb << 4 | uint32_t(d);
  }
  rgb &= 0xFFFFFF;
  return true;
}

// Sets what a number attribute names, when it is one.
void readNumber(const Tag& tag, const char* name, double& out) {
  if (const std::u32string* v = tag.attribute(name)) {
    double n = numberOf(*v);
    if (std::isfinite(n)) out = n;
  }
}

void readAlign(const Tag& tag, TextFieldFormat& f) {
  const std::u32string* v = tag.attribute("align");
  if (!v) return;
  std::string align = avm::toLowerAscii(asciiOf(*v));
  if (align == "left") f.align = TextAlign::Left;
  if (align == "right") f.align = TextAlign::Right;
  if (align == "center") f.align = TextAlign::Center;
  if (align == "justify") f.align = TextAlign::Justify;
}

void readFont(const Tag& tag, TextFieldFormat& f) {
  if (const std::u32string* v = tag.attribute("face")) f.font = avm::toUtf8(*v);
  if (const std::u32string* v = tag.attribute("size")) {
    double n = numberOf(*v);
    bool relative = !v->empty() && ((*v)[0] == U'+' || (*v)[0] == U'-');
    if (std::isfinite(n)) f.size = std::max(0.0, relative ? f.size + n : n);
  }
  if (const std::u32string* v = tag.attribute("color")) colourOf(*v, f.color);
  readNumber(tag, "letterspacing", f.letterSpacing);
  if (const std::u32string* v = tag.attribute("kerning")) f.kerning = numberOf(*v) != 0;
}

void readTextFormat(const Tag& tag, TextFieldFormat& f) {
  readNumber(tag, "leftmargin", f.leftMargin);
  readNumber(tag, "rightmargin", f.rightMargin);
  readNumber(tag, "indent", f.indent);
  readNumber(tag, "blockindent", f.blockIndent);
  readNumber(tag, "leading", f.leading);
  if (const std::u32string* v = tag.attribute("tabstops")) {
    f.tabStops.clear();
    std::u32string_view list = *v;
    while (!list.empty()) {
      size_t comma = list.find(U',');
      double n = numberOf(std::u32string(list.substr(0, comma)));
      if (std::isfinite(n)) f.tabStops.push_back(n);
      list = comma == std::u32string_view::npos ? std::u32string_view() : list.substr(comma + 1);
    }
  }
}

// What an opening tag changes; false for a tag that changes nothing.
bool openTag(const Tag& tag, TextFieldFormat& f) {
  if (tag.name == "p") return readAlign(tag, f), true;
  if (tag.name == "li") return f.bullet = true, true;
  if (tag.name == "font") return readFont(tag, f), true;
  if (tag.name == "b") return f.bold = true, true;
  if (tag.name == "i") return f.italic = true, true;
  if (tag.name == "u") return f.underline = true, true;
  if (tag.name == "textformat") return readTextFormat(tag, f), true;
  if (tag.name == "a") {
    const std::u32string* href = tag.attribute("href");
    const std::u32string* target = tag.attribute("target");
    f.url = href ? avm::toUtf8(*href) : std::string();
    f.target = target ? avm::toUtf8(*target) : std::string();
    return true;
  }
  return false;
}

class HtmlReader {
 public:
  explicit HtmlReader(const TextFieldFormat& base) : m_current(base) {}

  FormattedText read(const std::u32string& html) {
    for (size_t at = 0; at < html.size();) {
      char32_t c = html[at];
      if (c == U'<') {
        size_t end = html.find(U'>', at);
        if (end == std::u32string::npos) break;
        tag(readTag(std::u32string_view(html).substr(at + 1, end - at - 1)));
        at = end + 1;
      } else if (c == U'&') {
        ++at;
        std::optional<char32_t> value = entityAt(html, at);
        put(value ? *value : U'&');
      } else {
        put(c);
        ++at;
      }
    }
    // A last paragraph's end makes no empty line.
    if (!m_out.text.empty() && m_out.text.back() == kParagraph) {
      m_out.text.pop_back();
      if (--m_out.runs.back().length == 0) m_out.runs.pop_back();
    }
    return std::move(m_out);
  }

 private:
  struct Open {
    std::string name;
    TextFieldFormat saved;
  };

  void put(char32_t c) {
    m_out.text.push_back(c);
    if (!m_out.runs.empty() && m_out.runs.back().format == m_current)
      ++m_out.runs.back().length;
    else
      m_out.runs.push_back({1, m_current});
  }

  void tag(const Tag& t) {
    if (t.name == "br" || t.name == "sbr") return put(kParagraph);
    if (!t.closing) {
      TextFieldFormat saved = m_current;
      if (openTag(t, m_current) && m_open.size() < kMaxOpen) m_open.push_back({t.name, std::move(saved)});
      return;
    }
    if (t.name == "p" || t.name == "li") put(kParagraph);
    for (size_t i = m_open.size(); i-- > 0;) {
      if (m_open[i].name != t.name) continue;
      m_current = m_open[i].saved;
      m_open.resize(i);
      break;
    }
  }

  static constexpr size_t kMaxOpen = 256;  // deeper nesting keeps the format it has
  TextFieldFormat m_current;
  std::vector<Open> m_open;
  FormattedText m_out;
};

// -- writing --------------------------------------------------------------------------------

constexpr const char* kAlignNames[] = {"LEFT", "RIGHT", "CENTER", "JUSTIFY"};

std::string escapeMarkup(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c == U'&')
      out += "&amp;";
    else if (c == U'<')
      out += "&lt;";
    else if (c == U'>')
      out += "&gt;";
    else if (c == U'"')
      out += "&quot;";
    else
      out += avm::toUtf8(std::u32string_view(&c, 1));
  }
  return out;
}

std::string colourText(uint32_t rgb) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "#";
  for (int shift = 20; shift >= 0; shift -= 4) out.push_back(kHex[(rgb >> shift) & 0xF]);
  return out;
}

std::string attribute(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + value + "\"";
}

// The paragraph settings the player writes only when they are not zero.
std::string paragraphAttributes(const TextFieldFormat& f) {
  std::string out;
  auto add = [&](const char* name, double value) {
    if (value != 0) out += attribute(name, avm::numberToString(value));
  };
  add("INDENT", f.indent);
  add("BLOCKINDENT", f.blockIndent);
  add("LEFTMARGIN", f.leftMargin);
  add("RIGHTMARGIN", f.rightMargin);
  add("LEADING", f.leading);
  if (!f.tabStops.empty()) {
    std::string stops;
    for (double t : f.tabStops) stops += (stops.empty() ? "" : ",") + avm::numberToString(t);
    out += attribute("TABSTOPS", stops);
  }
  return out;
}

// The <FONT> attributes of `f` that differ from `than` (all without it).
std::string fontAttributes(const TextFieldFormat& f, const TextFieldFormat* than) {
  std::string out;
  if (!than || f.font != than->font) out += attribute("FACE", f.font);
  if (!than || f.size != than->size) out += attribute("SIZE", avm::numberToString(f.size));
  if (!than || f.color != than->color) out += attribute("COLOR", colourText(f.color));
  if (!than || f.letterSpacing != than->letterSpacing)
    out += attribute("LETTERSPACING", avm::numberToString(f.letterSpacing));
  if (!than || f.kerning != than->kerning) out += attribute("KERNING", f.kerning ? "1" : "0");
  return out;
}

// One paragraph's character tags: what is open, each with the format it
// leaves in force, so each change opens only what differs and closes only
// what the new format does not have.
class ParagraphWriter {
 public:
  ParagraphWriter(std::string& out, const TextFieldFormat& first) : m_out(out) {
    TextFieldFormat plain = first;
    plain.bold = plain.italic = plain.underline = false;
    plain.url.clear();
    plain.target.clear();
    push("<FONT" + fontAttributes(first, nullptr) + ">", "</FONT>", plain);
    change(first);
    m_baseDepth = m_open.size();
    m_base = first;
  }
  ~ParagraphWriter() { closeTo(0); }

  void write(const TextFieldFormat& f, std::u32string_view text) {
    change(f);
    m_out += escapeMarkup(text);
  }

 private:
  struct Open {
    std::string close;
    TextFieldFormat format;  // in force inside
    char flag;               // 'B', 'I', 'U', 'A', or 0 for a <FONT>
  };

  const TextFieldFormat& current() const { return m_open.back().format; }

  void push(const std::string& open, const char* close, const TextFieldFormat& format, char flag = 0) {
    m_out += open;
    m_open.push_back({close, format, flag});
  }
  void closeTo(size_t depth) {
    while (m_open.size() > depth) {
      m_out += m_open.back().close;
      m_open.pop_back();
    }
  }
  static bool keeps(const Open& o, const TextFieldFormat& f) {
    switch (o.flag) {
      case 'B':
        return f.bold;
      case 'I':
        return f.italic;
      case 'U':
        return f.underline;
      case 'A':
        return f.url == o.format.url && f.target == o.format.target;
    }
    return true;
  }
  static bool sameCharacters(const TextFieldFormat& a, const TextFieldFormat& b) {
    return a.font == b.font && a.size == b.size && a.color == b.color && a.bold == b.bold && a.italic == b.italic &&
           a.underline == b.underline && a.url == b.url && a.target == b.target && a.letterSpacing == b.letterSpacing &&
           a.kerning == b.kerning;
  }

  void change(const TextFieldFormat& f) {
    if (m_baseDepth && m_open.size() >= m_baseDepth && sameCharacters(f, m_base)) return closeTo(m_baseDepth);
    for (size_t i = 1; i < m_open.size(); ++i)
      if (!keeps(m_open[i], f)) {
        closeTo(i);
        if (i < m_baseDepth) m_baseDepth = 0;
        break;
      }
    TextFieldFormat in = current();
    if (std::string diff = fontAttributes(f, &in); !diff.empty()) {
      copyCharacters(f, in);
      push("<FONT" + diff + ">", "</FONT>", in);
    }
    if (!f.url.empty() && (f.url != in.url || f.target != in.target)) {
      in.url = f.url, in.target = f.target;
      push("<A HREF=\"" + f.url + "\" TARGET=\"" + f.target + "\">", "</A>", in, 'A');
    }
    if (f.bold && !in.bold) in.bold = true, push("<B>", "</B>", in, 'B');
    if (f.italic && !in.italic) in.italic = true, push("<I>", "</I>", in, 'I');
    if (f.underline && !in.underline) in.underline = true, push("<U>", "</U>", in, 'U');
  }
  static void copyCharacters(const TextFieldFormat& from, TextFieldFormat& to) {
    to.font = from.font;
    to.size = from.size;
    to.color = from.color;
    to.letterSpacing = from.letterSpacing;
    to.kerning = from.kerning;
  }

  std::string& m_out;
  std::vector<Open> m_open;
  size_t m_baseDepth = 0;  // the tags of the paragraph's own format; 0 once one closed
  TextFieldFormat m_base;
};

void writeParagraph(std::string& out, const FormattedText& text, size_t from, size_t to) {
  // The runs of [from, to), each cut to it.
  std::vector<std::pair<const TextFieldFormat*, std::u32string_view>> pieces;
  size_t at = 0;
  const TextFieldFormat* last = nullptr;
  for (const FormatRun& run : text.runs) {
    size_t a = std::clamp(from, at, at + run.length), b = std::clamp(to, at, at + run.length);
    if (b > a) pieces.emplace_back(&run.format, std::u32string_view(text.text).substr(a, b - a));
    if (at <= from) last = &run.format;
    at += run.length;
  }
  if (!last) return;
  const TextFieldFormat& first = pieces.empty() ? *last : *pieces.front().first;
  std::string attributes = paragraphAttributes(first);
  if (!attributes.empty()) out += "<TEXTFORMAT" + attributes + ">";
  out += first.bullet ? std::string("<LI>") : std::string("<P ALIGN=\"") + kAlignNames[size_t(first.align)] + "\">";
  {
    ParagraphWriter paragraph(out, first);
    for (auto& [format, piece] : pieces) paragraph.write(*format, piece);
  }
  out += first.bullet ? "</LI>" : "</P>";
  if (!attributes.empty()) out += "</TEXTFORMAT>";
}

}  // namespace

FormattedText parseHtml(std::u32string_view markup, const TextFieldFormat& base) {
  return HtmlReader(base).read(std::u32string(markup));
}

std::string writeHtml(const FormattedText& text) {
  std::string out;
  size_t start = 0;
  while (true) {
    size_t end = text.text.find(kParagraph, start);
    writeParagraph(out, text, start, end == std::u32string::npos ? text.text.size() : end);
    if (end == std::u32string::npos || end + 1 == text.text.size()) break;
    start = end + 1;
  }
  return out;
}

}  // namespace swf
