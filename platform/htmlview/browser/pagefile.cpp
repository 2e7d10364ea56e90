#include "platform/htmlview/browser/pagefile.h"

#include <algorithm>
#include <vector>

#include "platform/core/utf8.h"
#include "platform/core/winnls.h"

namespace browser {

namespace {

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char16_t a, char16_t b) {
           return (a < 0x80 ? std::tolower(a) : a) == (b < 0x80 ? std::tolower(b) : b);
         });
}

bool endsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() && startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// "x:" with at least two letters before the colon; one letter would be a drive.
bool hasScheme(std::u16string_view href) {
  size_t colon = href.find(u':');
  if (colon == std::u16string_view::npos || colon < 2) return false;
  return std::all_of(href.begin(), href.begin() + static_cast<std::ptrdiff_t>(colon), [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
           c == u'.';
  });
}

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// %XX escapes are UTF-8 bytes; anything else stays as written.
std::u16string percentDecoded(std::u16string_view text) {
  std::string bytes;
  std::u16string out;
  auto flush = [&] {
    out += fromUtf8(bytes);
    bytes.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
      continue;
    }
    flush();
    out += text[i];
  }
  flush();
  return out;
}

std::u16string normalised(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = std::min(path.find(u'\\', at), path.size());
    std::u16string_view part = path.substr(at, end - at);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::u16string out;
  for (auto part : parts) (out += u'\\') += part;
  return out.empty() ? u"\\" : out;
}

}  // namespace

Link resolveLink(std::u16string_view page, std::u16string_view href) {
  while (!href.empty() && (href.front() == u' ' || href.front() == u'\t')) href.remove_prefix(1);
  while (!href.empty() && (href.back() == u' ' || href.back() == u'\t')) href.remove_suffix(1);
  std::u16string anchor;
  if (size_t hash = href.find(u'#'); hash != std::u16string_view::npos) {
    anchor = percentDecoded(href.substr(hash + 1));
    href = href.substr(0, hash);
  }
  href = href.substr(0, href.find(u'?'));
  if (href.empty()) return {LinkKind::SamePage, {}, anchor};
  if (startsWithNoCase(href, u"file:")) {
    href.remove_prefix(5);
    while (href.size() > 1 && (href[0] == u'/' || href[0] == u'\\') && (href[1] == u'/' || href[1] == u'\\'))
      href.remove_prefix(1);
  } else if (hasScheme(href)) {
    return {LinkKind::Elsewhere, {}};
  }
  std::u16string path = percentDecoded(href);
  if (path.empty()) return {LinkKind::SamePage, {}, anchor};
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (path.front() != u'\\') {
    size_t slash = page.rfind(u'\\');
    std::u16string folder(slash == std::u16string_view::npos ? std::u16string_view() : page.substr(0, slash));
    path = folder + u"\\" + path;
  }
  return {LinkKind::DeviceFile, normalised(path), anchor};
}

std::u16string decodePage(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text +=
          static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) return fromUtf8(bytes.substr(3));
  std::string head(bytes.substr(0, 1024));
  std::transform(head.begin(), head.end(), head.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  bool saysUtf8 = head.find("charset=utf-8") != std::string::npos || head.find("charset=\"utf-8") != std::string::npos;
  if (saysUtf8 || isValidUtf8(bytes)) return fromUtf8(bytes);
  int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string text(static_cast<size_t>(std::max(length, 0)), u'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
  return text;
}

bool isPage(std::u16string_view path) {
  return endsWithNoCase(path, u".htm") || endsWithNoCase(path, u".html") || isPlainText(path);
}

bool isPlainText(std::u16string_view path) { return endsWithNoCase(path, u".txt"); }

}  // namespace browser
