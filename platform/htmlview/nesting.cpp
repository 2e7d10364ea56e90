#include "platform/htmlview/nesting.h"

#include <algorithm>
#include <array>
#include <vector>

namespace htmlview {

namespace {

constexpr std::array<std::string_view, 18> kVoidElements = {"area",  "base",  "basefont", "bgsound", "br",    "col",
                                                            "embed", "frame", "hr",       "img",     "input", "keygen",
                                                            "link",  "meta",  "param",    "source",  "track", "wbr"};
constexpr std::array<std::string_view, 8> kRawText = {"script", "style",  "textarea", "title",
                                                      "xmp",    "iframe", "noembed",  "noframes"};
// Opening one of these closes an open <p> first.
constexpr std::array<std::string_view, 22> kClosesParagraph = {
    "address", "blockquote", "center", "dir", "div",  "dl", "fieldset", "form", "h1",    "h2", "h3",
    "h4",      "h5",         "h6",     "hr",  "menu", "ol", "p",        "pre",  "table", "ul", "li"};

template <size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// As the tokenizer reads a tag name: everything up to a blank, "/" or ">"
// ("<div\x01<b>" is one element named "div\x01<b", which no </div> closes).
bool isNameChar(char c) { return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '/' && c != '>'; }

bool startsName(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The end of a tag starting at `at` ('<'), past its '>', quotes respected.
size_t tagEnd(std::string_view html, size_t at) {
  char quote = 0;
  for (size_t i = at + 1; i < html.size(); ++i) {
    char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      // Only quotes that open an attribute value count.
      if (html[i - 1] == '=' || (i >= 2 && html[i - 1] == ' ' && html[i - 2] == '=')) quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return html.size();
}

class Scanner {
 public:
  Scanner(std::string_view html, int maxDepth, int maxTables)
      : m_html(html), m_maxDepth(maxDepth), m_maxTables(maxTables) {}

  std::string run() {
    m_out.reserve(m_html.size());
    size_t at = 0;
    while (at < m_html.size()) {
      size_t lt = m_html.find('<', at);
      if (lt == std::string_view::npos) lt = m_html.size();
      m_out.append(m_html.substr(at, lt - at));
      at = lt < m_html.size() ? markup(lt) : lt;
    }
    return std::move(m_out);
  }

 private:
  // Handles the markup at `at`; answers where the text goes on.
  size_t markup(size_t at) {
    std::string_view rest = m_html.substr(at);
    if (rest.starts_with("<!--")) {
      size_t end = m_html.find("-->", at + 4);
      end = end == std::string_view::npos ? m_html.size() : end + 3;
      m_out.append(m_html.substr(at, end - at));
      return end;
    }
    bool closing = rest.size() > 1 && rest[1] == '/';
    size_t nameAt = at + (closing ? 2 : 1);
    size_t nameEnd = nameAt;
    if (nameAt < m_html.size() && startsName(m_html[nameAt]))
      while (nameEnd < m_html.size() && isNameChar(m_html[nameEnd])) ++nameEnd;
    if (nameEnd == nameAt) {
      // Not a tag ("< ", "<!DOCTYPE", "<?"): passed on for the parser to judge.
      size_t end = (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?' || closing)) ? tagEnd(m_html, at) : at + 1;
      m_out.append(m_html.substr(at, end - at));
      return end;
    }
    std::string name = lowered(m_html.substr(nameAt, nameEnd - nameAt));
    size_t end = tagEnd(m_html, at);
    std::string_view tag = m_html.substr(at, end - at);
    if (closing) {
      close(name);
      m_out.append(tag);
      return end;
    }
    return open(name, tag, end);
  }

  size_t open(const std::string& name, std::string_view tag, size_t end) {
    if (isOneOf(name, kRawText)) {
      // Everything up to the matching end tag is text.
      std::string closeTag = "</" + name;
      size_t close = end;
      while (close < m_html.size()) {
        close = m_html.find("</", close);
        if (close == std::string_view::npos) {
          close = m_html.size();
          break;
        }
        if (lowered(m_html.substr(close, closeTag.size())) == closeTag) break;
        close += 2;
      }
      m_out.append(tag);
      m_out.append(m_html.substr(end, close - end));
      return close;
    }
    closeImplied(name);
    bool selfClosing = tag.size() >= 2 && tag[tag.size() - 2] == '/';
    if (isOneOf(name, kVoidElements) || selfClosing) {
      m_out.append(tag);
      return end;
    }
    if (static_cast<int>(m_open.size()) >= m_maxDepth) return end;  // left out, its text stays
    if (name == "table" && std::count(m_open.begin(), m_open.end(), "table") >= m_maxTables) return end;
    m_open.push_back(name);
    m_out.append(tag);
    return end;
  }

  void closeImplied(const std::string& name) {
    if (!m_open.empty() && m_open.back() == "p" && isOneOf(name, kClosesParagraph)) m_open.pop_back();
    auto closeSibling = [&](std::initializer_list<std::string_view> same,
                            std::initializer_list<std::string_view> scope) {
      for (size_t i = m_open.size(); i-- > 0;) {
        const std::string& open = m_open[i];
        if (std::find(scope.begin(), scope.end(), open) != scope.end()) return;
        if (std::find(same.begin(), same.end(), open) != same.end()) {
          m_open.resize(i);
          return;
        }
      }
    };
    if (name == "li") closeSibling({"li"}, {"ul", "ol", "menu", "dir", "table"});
    if (name == "dt" || name == "dd") closeSibling({"dt", "dd"}, {"dl", "table"});
    if (name == "option") closeSibling({"option"}, {"select", "table"});
    if (name == "td" || name == "th") closeSibling({"td", "th"}, {"tr", "table"});
    if (name == "tr") closeSibling({"tr", "td", "th"}, {"table"});
  }

  void close(const std::string& name) {
    auto match = std::find(m_open.rbegin(), m_open.rend(), name);
    if (match != m_open.rend()) m_open.erase(std::prev(match.base()), m_open.end());
  }

  std::string_view m_html;
  int m_maxDepth;
  int m_maxTables;
  std::vector<std::string> m_open;
  std::string m_out;
};

}  // namespace

std::string limitNesting(std::string_view html, int maxDepth, int maxTables) {
  return Scanner(html, maxDepth, maxTables).run();
}

}  // namespace htmlview
