// Text preparation, scanning and the declaration list. Every walk here moves
// forward only, so unterminated comments, quotes and groups cost one pass.

#include "style/cssparser.h"

#include <array>
#include <string_view>

#include "style/propertyregistry.h"
#include "style/styleobserver.h"

namespace css {
namespace {

bool isQuote(char16_t c) { return c == u'"' || c == u'\''; }

// The ASCII characters a walk over the text has to look at; it passes over
// every other character (letters, digits, most punctuation) at once.
using Marks = std::array<bool, 128>;
consteval Marks marksOf(std::string_view characters) {
  Marks marks{};
  for (char c : characters) marks[static_cast<unsigned char>(c)] = true;
  return marks;
}
constexpr Marks kPrepareMarks = marksOf("\"'\\/<-,;)} \t\n\r\f");
constexpr Marks kScanMarks = marksOf("\\\"'([{)]} \t\n\r\f");

bool marked(const Marks& marks, char16_t c) { return c < marks.size() && marks[c]; }

// The end of the quoted string that starts at `i`: just after its closing
// quote, or the end of the text. A backslash inside escapes the next character.
size_t stringEnd(DomStringView text, size_t i) {
  const char16_t quote = text[i++];
  while (i < text.size()) {
    const char16_t c = text[i++];
    if (c == u'\\' && i < text.size()) {
      ++i;
    } else if (c == quote) {
      break;
    }
  }
  return i;
}

// Copies a quoted string unchanged, up to and including its closing quote.
size_t copyString(DomStringView text, size_t i, DomString& out) {
  const size_t end = stringEnd(text, i);
  out.append(text.substr(i, end - i));
  return end;
}

bool tokenMayStart(const DomString& out) { return out.empty() || out.back() == u' '; }

void writeSpace(DomString& out) {
  if (!out.empty() && out.back() != u' ') out.push_back(u' ');
}

}  // namespace

DomString prepareText(DomStringView text) {
  DomString out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char16_t c = text[i];
    switch (c) {
      case u'"':
      case u'\'':
        i = copyString(text, i, out);
        continue;
      case u'/':
        if (text.substr(i).starts_with(u"/*")) {
          size_t end = text.find(u"*/", i + 2);
          i = end == DomStringView::npos ? text.size() : end + 2;
          continue;
        }
        break;
      case u'<':
        if (tokenMayStart(out) && text.substr(i).starts_with(u"<!--")) {
          i += 4;
          continue;
        }
        break;
      case u'-':
        if (tokenMayStart(out) && text.substr(i).starts_with(u"-->")) {
          i += 3;
          continue;
        }
        break;
      default:
        if (isSpace(c)) {
          writeSpace(out);
          ++i;
          continue;
        }
        break;
    }
    out.push_back(c);
    if (c == u'\\' && i + 1 < text.size()) out.push_back(text[++i]);
    if (c == u',' || c == u';' || c == u')' || c == u'}') out.push_back(u' ');
    ++i;
  }
  return out;
}

// Mirrors prepareText: true only where each step of it would copy the text
// as it stands.
bool isPrepared(DomStringView text) {
  if (!text.empty() && isSpace(text.front())) return false;
  // Preparing drops a blank that follows a space it has just written.
  auto blankFollows = [&](size_t i) { return i + 1 < text.size() && isSpace(text[i + 1]); };
  for (size_t i = 0; i < text.size(); ++i) {
    if (!marked(kPrepareMarks, text[i])) continue;
    switch (text[i]) {
      case u'"':
      case u'\'':
        i = stringEnd(text, i) - 1;  // strings are copied unchanged
        break;
      case u'\\':
        if (i + 1 < text.size() && text[i + 1] == u' ' && blankFollows(i + 1)) return false;
        ++i;  // the escaped character is copied as it is
        break;
      case u'/':
        if (text.substr(i).starts_with(u"/*")) return false;
        break;
      case u'<':
        if (text.substr(i).starts_with(u"<!--")) return false;
        break;
      case u'-':
        if (text.substr(i).starts_with(u"-->")) return false;
        break;
      case u',':
      case u';':
      case u')':
      case u'}':
        // Preparing writes one space after these, in place of the one that follows.
        if (i + 1 == text.size() || text[i + 1] != u' ') return false;
        break;
      case u' ':
        if (blankFollows(i)) return false;
        break;
      default:
        if (isSpace(text[i])) return false;  // tabs and line breaks become spaces
        break;
    }
  }
  return true;
}

size_t scanTo(DomStringView text, size_t from, char32_t wanted, bool stopAtSpace) {
  char16_t quote = 0;
  DomString closers;  // the brackets still open, innermost last
  for (size_t i = from; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c != wanted && !marked(kScanMarks, c)) continue;
    if (c == u'\\') {
      ++i;
    } else if (quote) {
      if (c == quote) quote = 0;
    } else if (isQuote(c)) {
      quote = c;
    } else if (!closers.empty()) {
      if (c == closers.back())
        closers.pop_back();
      else if (c == u'(')
        closers.push_back(u')');
      else if (c == u'[')
        closers.push_back(u']');
      else if (c == u'{')
        closers.push_back(u'}');
    } else if (c == wanted || (stopAtSpace && isSpace(c))) {
      return i;
    } else if (c == u'(') {
      closers.push_back(u')');
    } else if (c == u'[') {
      closers.push_back(u']');
    } else if (c == u'{') {
      closers.push_back(u'}');
    }
  }
  return DomStringView::npos;
}

std::vector<DomStringView> splitTokens(DomStringView text) {
  std::vector<DomStringView> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i == text.size()) break;
    size_t end = scanTo(text, i, kNoCharacter, true);
    if (end == DomStringView::npos) end = text.size();
    tokens.push_back(text.substr(i, end - i));
    i = end;
  }
  return tokens;
}

}  // namespace css

bool CSSParser::parseDeclarationList(DomStringView text) {
  size_t before = m_target.size();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = css::scanTo(text, start, u';');
    if (end == DomStringView::npos) end = text.size();
    parseDeclaration(text.substr(start, end - start));
    start = end + 1;
  }
  return m_target.size() > before;
}

namespace {

// Splits off "!important"; false when a "!" is followed by anything else.
bool takePriority(DomStringView& value, bool& important) {
  size_t bang = css::scanTo(value, 0, u'!');
  important = false;
  if (bang == DomStringView::npos) return true;
  DomString rest;
  for (char16_t c : value.substr(bang + 1)) {
    if (!css::isSpace(c)) rest.push_back(css::toLower(c));
  }
  if (rest != u"important") return false;
  value = value.substr(0, bang);
  important = true;
  return true;
}

// Tells the observer, if any, what was dropped; answers false for the caller.
bool dropped(StyleObserver::Drop drop, DomStringView name, DomStringView value) {
  if (StyleObserver* observer = styleObserver()) observer->declarationDropped(drop, name, value);
  return false;
}

}  // namespace

bool CSSParser::parseDeclaration(DomStringView text) {
  using Drop = StyleObserver::Drop;
  size_t i = 0;
  while (i < text.size() && css::isSpace(text[i])) ++i;
  size_t nameEnd = i;
  while (nameEnd < text.size() && text[nameEnd] != u':' && !css::isSpace(text[nameEnd])) ++nameEnd;
  DomStringView name = text.substr(i, nameEnd - i);
  size_t colon = nameEnd;
  while (colon < text.size() && css::isSpace(text[colon])) ++colon;
  if (name.empty() || colon == text.size() || text[colon] != u':') {
    // An empty part (after the last ";") is no declaration at all.
    return i == text.size() ? false : dropped(Drop::NoColon, css::trimmed(text), {});
  }

  DomStringView value = text.substr(colon + 1);
  while (!value.empty() && css::isSpace(value.front())) value.remove_prefix(1);
  bool important = false;
  if (!takePriority(value, important)) return dropped(Drop::BadPriority, name, css::trimmed(value));
  value = css::trimmedEnd(value);
  if (value.empty()) return dropped(Drop::EmptyValue, name, {});

  std::int32_t id = propertyRegistry().idOf(name);
  if (!parseValue(id, value, important)) return dropped(Drop::Rejected, name, value);
  if (StyleObserver* observer = styleObserver()) observer->declarationKept(name, value);
  return true;
}

bool CSSParser::parseValue(std::int32_t id, DomStringView text, bool important) {
  size_t before = m_target.size();
  bool previous = m_important;
  m_important = important;
  bool accepted = parseValueUnchecked(id, css::trimmed(text));
  m_important = previous;
  if (!accepted) m_target.erase(m_target.begin() + static_cast<std::ptrdiff_t>(before), m_target.end());
  return accepted;
}

void CSSParser::add(std::int32_t id, Ref<CSSValue> value) {
  // Room for a skin element's usual handful of properties at once.
  if (m_target.capacity() == 0) m_target.reserve(8);
  m_target.push_back(CSSProperty{id, std::move(value), m_important, false});
}
