#include "tools/skincheck/sourcetext.h"

#include <algorithm>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool endsName(char c) { return isBlank(c) || c == '=' || c == '>' || c == '/'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

SourceText::SourceText(std::string bytes) : m_bytes(std::move(bytes)) {
  m_lineStarts.push_back(0);
  for (std::size_t i = 0; i < m_bytes.size(); ++i) {
    // CR LF, CR and LF each end a line, as the XML parser counts them.
    if (m_bytes[i] == '\r' && i + 1 < m_bytes.size() && m_bytes[i + 1] == '\n') ++i;
    if (m_bytes[i] == '\n' || m_bytes[i] == '\r') m_lineStarts.push_back(i + 1);
  }
}

SourcePosition SourceText::positionOf(std::size_t offset) const {
  offset = std::min(offset, m_bytes.size());
  auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
  std::size_t start = *(next - 1);
  std::int32_t column = 1;
  for (std::size_t i = start; i < offset; ++i)
    if ((static_cast<unsigned char>(m_bytes[i]) & 0xC0) != 0x80) ++column;  // continuation bytes add nothing
  return {static_cast<std::int32_t>(next - m_lineStarts.begin()), column};
}

// The attributes of the start tag at `tagOffset`, as the loader has already
// read them; nothing when the offset is not at a "<".
std::vector<SourceText::Attribute> SourceText::attributesOf(std::size_t tagOffset) const {
  std::vector<Attribute> attributes;
  if (tagOffset >= m_bytes.size() || m_bytes[tagOffset] != '<') return attributes;
  std::size_t i = tagOffset + 1;
  while (i < m_bytes.size() && !endsName(m_bytes[i])) ++i;
  for (;;) {
    while (i < m_bytes.size() && isBlank(m_bytes[i])) ++i;
    if (i >= m_bytes.size() || m_bytes[i] == '>' || m_bytes[i] == '/') return attributes;
    std::size_t nameStart = i;
    while (i < m_bytes.size() && !endsName(m_bytes[i])) ++i;
    std::string_view name(m_bytes.data() + nameStart, i - nameStart);
    while (i < m_bytes.size() && (isBlank(m_bytes[i]) || m_bytes[i] == '=')) ++i;
    if (i >= m_bytes.size() || (m_bytes[i] != '"' && m_bytes[i] != '\'')) return attributes;
    char quote = m_bytes[i++];
    std::size_t valueStart = i;
    while (i < m_bytes.size() && m_bytes[i] != quote) ++i;
    attributes.push_back({nameStart, name, valueStart, std::string_view(m_bytes.data() + valueStart, i - valueStart)});
    ++i;
  }
}

std::size_t SourceText::attributeOffset(std::size_t tagOffset, std::string_view name) const {
  for (const Attribute& attribute : attributesOf(tagOffset))
    if (sameIgnoringCase(attribute.name, name)) return attribute.nameOffset;
  return std::string::npos;
}

std::size_t SourceText::declarationOffset(std::size_t tagOffset, std::string_view attribute,
                                          std::string_view text) const {
  if (text.empty()) return std::string::npos;
  for (const Attribute& a : attributesOf(tagOffset)) {
    if (!sameIgnoringCase(a.name, attribute)) continue;
    for (std::size_t at = a.value.find(text); at != std::string_view::npos; at = a.value.find(text, at + 1)) {
      std::size_t before = at;
      while (before > 0 && isBlank(a.value[before - 1])) --before;
      if (before == 0 || a.value[before - 1] == ';' || a.value[before - 1] == '/') return a.valueOffset + at;
    }
  }
  return std::string::npos;
}
