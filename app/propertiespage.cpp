#include "app/propertiespage.h"

#include <algorithm>

#include "platform/core/wformat.h"

namespace {

WideString escapeHtml(WideStringView text) {
  WideString out;
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

WideString estimatedTime(int totalFrames, int frameRate) {
  int seconds = frameRate > 0 ? std::max(totalFrames, 0) / frameRate : 0;
  return formatWide(u"%02d:%02d", seconds / 60, seconds % 60);
}

PathParts splitMoviePath(WideStringView path) {
  size_t slash = path.rfind(u'\\');
  if (slash == WideStringView::npos) return {WideString(path), WideString()};
  return {WideString(path.substr(slash + 1)), WideString(path.substr(0, slash))};
}

// Formatted without wsprintfW's 1024-character limit: a long path must not
// cut the page's closing tags off.
WideString propertiesPage(WideStringView pageTemplate, const PropertiesFacts& facts) {
  PathParts parts = splitMoviePath(facts.moviePath);
  WideString format(pageTemplate), name = escapeHtml(parts.fileName), folder = escapeHtml(parts.folder);
  WideString time = estimatedTime(facts.totalFrames, facts.frameRate);
  return formatWide(format.c_str(), facts.charset.c_str(), name.c_str(), folder.c_str(), facts.flashVersion,
                    std::max(facts.totalFrames, 0), facts.frameRate, time.c_str(), std::max(facts.currentFrame, 0));
}
