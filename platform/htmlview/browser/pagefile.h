#pragma once
// What the browser does with files before the viewer sees them: where a
// link leads from the page it is on, and how a page's bytes become text.

#include <string>
#include <string_view>

namespace browser {

enum class LinkKind {
  SamePage,    // "#part" or nothing: stays where it is
  DeviceFile,  // a file of the device, relative or absolute, or file:
  Elsewhere,   // another scheme (http:, mailto:): not reachable from here
};

struct Link {
  LinkKind kind = LinkKind::SamePage;
  std::u16string path;    // DeviceFile: the device path, "\" separated and normalised
  std::u16string anchor;  // the part after "#", "" when none
};

// Resolves `href` against the device path of the page it is on. The fragment
// becomes the anchor, queries are dropped, %XX escapes decoded, "/" taken for "\", "." and ".."
// folded (never above the root).
Link resolveLink(std::u16string_view page, std::u16string_view href);

// A page's text: UTF-16 after its mark, UTF-8 after its mark or when the page
// says so or is valid UTF-8, else the device's ANSI code page.
std::u16string decodePage(std::string_view bytes);

// Whether the viewer shows the file itself (".htm", ".html" pages, ".txt" as plain text).
bool isPage(std::u16string_view path);
bool isPlainText(std::u16string_view path);

}  // namespace browser
