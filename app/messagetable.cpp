#include "app/messagetable.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 26> kMessages = {
    u"Out of memory",
    u"Syntax error",
    u"No element found",
    u"Not well-formed",
    u"Unclosed token",
    u"Unclosed token",
    u"Mismatched tag",
    u"Duplicate attribute",
    u"Junk after document element",
    u"Illegal parameter entity reference",
    u"Undefined entity",
    u"Recursive entity reference",
    u"Asynchronous entity",
    u"Reference to invalid character number",
    u"Reference to binary entity",
    u"Reference to external entity in attribute",
    u"Xml processing instruction not at start of external entity",
    u"Unknown encoding",
    u"Encoding specified in XML declaration is incorrect",
    u"Unclosed CDATA section",
    u"Error in processing external entity reference",
    u"Document is not standalone",
    u"Can't open the skin file, please select another skin or check your skin file.",
    u"Duplicate name",
    u"Can't find the Macromedia Flash Player on your PPC. Please install it before you run this software.",
    u"Can't load the flash. Please try it again with more memory. ",
};

}  // namespace

WideStringView messageText(int index) {
  if (index < 1 || index > static_cast<int>(kMessages.size())) return u"";
  return kMessages[static_cast<size_t>(index - 1)];
}
