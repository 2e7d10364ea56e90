#include "platform/htmlview/pageelements.h"

#include <litehtml/el_td.h>

#include <cstdlib>
#include <string_view>

namespace htmlview {

namespace {

bool isTag(const litehtml::element::ptr& el, std::string_view tag) {
  const char* name = el ? el->get_tagName() : nullptr;
  return name && tag == name;
}

// A length attribute as CSS: "20" is pixels, "50%" stays a percentage;
// anything else is ignored, as the handheld's viewer does.
std::string cssLength(const char* value) {
  if (!value) return {};
  char* end = nullptr;
  long n = std::strtol(value, &end, 10);
  if (end == value || n < 0 || n > 100000) return {};
  return std::to_string(n) + (*end == '%' ? "%" : "px");
}

class CellElement final : public litehtml::el_td {
 public:
  using el_td::el_td;

  void parse_attributes() override {
    addLength("height", get_attr("height"));
    if (get_attr("nowrap")) addProperty("white-space", "nowrap");
    if (auto padding = cssLength(tableAttr("cellpadding")); !padding.empty()) addProperty("padding", padding);
    el_td::parse_attributes();
  }

 private:
  const char* tableAttr(const char* name) const {
    for (auto el = parent(); el; el = el->parent())
      if (isTag(el, "table")) return el->get_attr(name);
    return nullptr;
  }
  void addLength(const char* property, const char* value) {
    if (auto length = cssLength(value); !length.empty()) addProperty(property, length);
  }
  void addProperty(const char* name, const std::string& value) {
    m_style.add_property(name, value.c_str(), nullptr, false, this);
  }
};

// The rule's size is its whole height, borders included: size 1 is a single
// line, the default (2) the shaded two-pixel rule.
class RuleElement final : public litehtml::html_tag {
 public:
  using html_tag::html_tag;

  void parse_attributes() override {
    if (const char* size = get_attr("size")) {
      long n = std::strtol(size, nullptr, 10);
      if (n <= 1) {
        addProperty("border-bottom-width", "0");
      } else {
        addProperty("height", std::to_string(std::min(n, 1000L) - 2) + "px");
      }
    }
    if (auto width = cssLength(get_attr("width")); !width.empty()) addProperty("width", width);
    if (const char* color = get_attr("color")) {
      addProperty("border-color", color);
      addProperty("background-color", color);
      addProperty("border-style", "solid");
    }
    if (get_attr("noshade")) addProperty("border-style", "solid");
    html_tag::parse_attributes();
  }

 private:
  void addProperty(const char* name, const std::string& value) {
    m_style.add_property(name, value.c_str(), nullptr, false, this);
  }
};

}  // namespace

std::shared_ptr<litehtml::element> createPageElement(const std::string& tag, const litehtml::string_map& attributes,
                                                     const std::shared_ptr<litehtml::document>& doc,
                                                     std::set<std::string>& pictureSources) {
  if (tag == "td" || tag == "th") return std::make_shared<CellElement>(doc);
  if (tag == "hr") return std::make_shared<RuleElement>(doc);
  if (tag == "img") {
    if (auto src = attributes.find("src"); src != attributes.end() && !src->second.empty())
      pictureSources.insert(src->second);
  }
  return nullptr;
}

}  // namespace htmlview
