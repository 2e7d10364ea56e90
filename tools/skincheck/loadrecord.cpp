#include "tools/skincheck/loadrecord.h"

#include <algorithm>

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

}  // namespace

LoadRecord::LoadRecord() { setStyleObserver(this); }

LoadRecord::~LoadRecord() {
  if (styleObserver() == this) setStyleObserver(nullptr);
}

const ElementRecord* LoadRecord::recordOf(const Element* element) const {
  auto found = m_records.find(element);
  return found == m_records.end() ? nullptr : found->second.get();
}

void LoadRecord::elementStarted(Element* element, WideStringView tag, const Position& position) {
  m_current = nullptr;
  if (!element) {
    m_skippedElements.push_back({std::u16string(tag), position});
    return;
  }
  auto record = std::make_unique<ElementRecord>();
  record->tag = tag;
  record->position = position;
  m_current = record.get();
  m_records[element] = std::move(record);
}

// Each attribute is geometry until the style engine hears of it.
void LoadRecord::attributeApplying(Element* element, WideStringView name) {
  auto found = m_records.find(element);
  m_current = found == m_records.end() ? nullptr : found->second.get();
  m_attribute = name;
  if (m_current) m_current->geometry.emplace_back(name);
}

void LoadRecord::textDropped(WideStringView text, const Position& position) {
  auto first = std::find_if_not(text.begin(), text.end(), isBlank);
  if (first == text.end()) return;
  // Placed at its first visible character; line 0 lets the bytes tell the line.
  Position start = position;
  start.byteIndex += first - text.begin();
  start.line = 0;
  m_droppedTexts.push_back({std::u16string(text), start});
}

void LoadRecord::presentationAttribute(DomStringView name, DomStringView value) {
  if (!m_current) return;
  if (!m_current->geometry.empty() && m_current->geometry.back() == name) m_current->geometry.pop_back();
  if (!equalsIgnoringCase(name, u"style"))
    m_current->declared.push_back({std::u16string(name), std::u16string(value), std::u16string(name), false});
}

void LoadRecord::declarationKept(DomStringView name, DomStringView value) {
  if (m_current) m_current->declared.push_back({std::u16string(name), std::u16string(value), m_attribute, false});
}

void LoadRecord::declarationDropped(Drop drop, DomStringView name, DomStringView value) {
  if (!m_current) return;
  // A presentation attribute the grammar refuses: its declared entry was dropped.
  if (drop == Drop::Rejected && !m_current->declared.empty() && m_current->declared.back().attribute == name &&
      name == m_attribute) {
    m_current->declared.back().rejected = true;
  }
  m_current->dropped.push_back({drop, std::u16string(name), std::u16string(value), m_attribute});
}
