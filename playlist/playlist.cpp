#include "playlist/playlist.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/core/guards.h"
#include "platform/core/handles.h"
#include "platform/core/winbase.h"
#include "platform/core/winnls.h"
#include "platform/core/wstdio.h"
#include "xml/charsettable.h"
#include "xml/xmlparser.h"

namespace {

constexpr WideStringView kExtension = u".bfl";
constexpr WideStringView kLineEnd = u"\r\n";

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// XML 1.0 cannot carry these at all, not even as character references; no
// file name holds them either.
bool isXmlCharacter(char32_t c) {
  if (c < 0x20) return c == u'\t' || c == u'\n' || c == u'\r';
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  return c != 0xFFFE && c != 0xFFFF;
}

// Splits `text` into code points; false at a lone surrogate.
template <class Visit>
bool forEachCodePoint(WideStringView text, Visit visit) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    size_t units = 1;
    if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
      return false;
    }
    visit(c, text.substr(i, units));
    i += units - 1;
  }
  return true;
}

bool canBeWritten(WideStringView path) {
  bool ok = true;
  bool whole = forEachCodePoint(path, [&](char32_t c, WideStringView) { ok = ok && isXmlCharacter(c); });
  return whole && ok;
}

bool fitsAnsiCodePage(WideStringView text) {
  BOOL usedDefault = FALSE;
  int bytes =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
  return bytes > 0 && !usedDefault;
}

WideString characterReference(char32_t c) { return formatWide(u"&#%d;", static_cast<int>(c)); }

// A path as the value of a double-quoted attribute. A path that needs no
// reference comes out unchanged.
WideString attributeText(WideStringView path) {
  const bool whollyAnsi = fitsAnsiCodePage(path);
  WideString text;
  text.reserve(path.size());
  forEachCodePoint(path, [&](char32_t c, WideStringView units) {
    switch (c) {
      case u'&':
        text += u"&amp;";
        return;
      case u'<':
        text += u"&lt;";
        return;
      case u'>':
        text += u"&gt;";
        return;
      case u'"':
        text += u"&quot;";
        return;
      case u'\t':
      case u'\n':
      case u'\r':
        text += characterReference(c);
        return;  // or the reader would see blanks
    }
    if (whollyAnsi || fitsAnsiCodePage(units))
      text += units;
    else
      text += characterReference(c);
  });
  return text;
}

std::vector<WideString>::iterator findEntry(std::vector<WideString>& entries, WideStringView path) {
  return std::find_if(entries.begin(), entries.end(), [&](const WideString& e) { return equalsIgnoreCase(e, path); });
}

// Every "href" of every "media" element, at any depth, names an entry.
void XMLCALL onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
  if (!equalsIgnoreCase(wideViewOf(name), u"media")) return;
  auto* playlist = static_cast<Playlist*>(userData);
  for (const XML_Char** a = attributes; a[0] && a[1]; a += 2)
    if (equalsIgnoreCase(wideViewOf(a[0]), u"href")) playlist->add(wideViewOf(a[1]));
}

void XMLCALL onEndElement(void*, const XML_Char*) {}

}  // namespace

std::unique_ptr<Playlist> Playlist::read(WideStringView filePath) {
  const WideString path(filePath);
  FileHandle file(_wfopen(path.c_str(), u"rb"));
  if (!file) return nullptr;
  auto playlist = std::make_unique<Playlist>();
  XmlParser parser = createXmlParser(playlist.get());
  if (!parser) return nullptr;
  XML_SetElementHandler(parser.get(), onStartElement, onEndElement);
  // A file that cannot be read to its end is refused like a malformed one.
  if (feedXmlFile(parser.get(), file.get()) != FeedStatus::Parsed) return nullptr;
  playlist->m_dirty = false;
  playlist->m_name = fileTitle(filePath);
  return playlist;
}

std::optional<WideString> Playlist::add(WideStringView path) {
  if (path.empty() || !canBeWritten(path) || indexOf(path) >= 0) return std::nullopt;
  m_entries.emplace_back(path);
  m_dirty = true;
  return m_entries.back();
}

std::vector<WideString> Playlist::addAll(const std::vector<WideString>& paths) {
  std::unordered_set<WideString> held;
  for (const WideString& entry : m_entries) held.insert(foldedCase(entry));
  std::vector<WideString> added;
  for (const WideString& path : paths) {
    if (path.empty() || !canBeWritten(path) || !held.insert(foldedCase(path)).second) continue;
    m_entries.push_back(path);
    added.push_back(path);
  }
  if (!added.empty()) m_dirty = true;
  return added;
}

void Playlist::remove(WideStringView path) {
  if (auto it = findEntry(m_entries, path); it != m_entries.end()) m_entries.erase(it);
  m_dirty = true;
}

void Playlist::moveUp(WideStringView path) {
  if (auto it = findEntry(m_entries, path); it != m_entries.end() && it != m_entries.begin())
    std::iter_swap(it, it - 1);
  m_dirty = true;
}

void Playlist::moveDown(WideStringView path) {
  if (auto it = findEntry(m_entries, path); it != m_entries.end() && it + 1 != m_entries.end())
    std::iter_swap(it, it + 1);
  m_dirty = true;
}

int Playlist::indexOf(WideStringView path) const {
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (equalsIgnoreCase(m_entries[i], path)) return static_cast<int>(i);
  return -1;
}

void Playlist::select(WideStringView path) {
  if (int index = indexOf(path); index >= 0) m_cursor = index;
}

WideString Playlist::current() const {
  if (m_cursor < 0 || static_cast<size_t>(m_cursor) >= m_entries.size()) return {};
  return m_entries[static_cast<size_t>(m_cursor)];
}

void Playlist::previous() {
  if (m_cursor > 0) --m_cursor;
}

void Playlist::next() {
  if (m_cursor < static_cast<int>(m_entries.size()) - 1) ++m_cursor;
}

WideString Playlist::toText() const {
  WideString text =
      u"<?xml version=\"1.0\" encoding=\"" + declaredCharsetForCodePage(static_cast<std::int32_t>(GetACP())) + u"\"?>";
  text += kLineEnd;
  text += u"<playlist version=\"2.0\" >";
  text += kLineEnd;
  for (const WideString& entry : m_entries) {
    text += u"<media href=\"" + attributeText(entry) + u"\" />";
    text += kLineEnd;
  }
  text += u"</playlist>";
  return text;
}

namespace {

// The whole of `bytes` in a new file at `path`, on the storage before it is closed.
bool writeDurably(const WideString& path, const std::vector<char>& bytes, size_t length) {
  HandleGuard file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  bool complete = length == 0 || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(length), &written, nullptr) &&
                                  written == length);
  return complete && FlushFileBuffers(file.get());
}

// Puts the finished temporary file in place of `path` in one step.
bool replaceWith(const WideString& path, const WideString& temporary) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    return DeleteAndRenameFile(path.c_str(), temporary.c_str());
  return MoveFileW(temporary.c_str(), path.c_str());
}

}  // namespace

WideString Playlist::temporaryName(WideStringView name) { return WideString(name) + WideString(kExtension) + u".tmp"; }

// The new content goes to a temporary file beside the old one, is flushed,
// and then replaces it, so a crash leaves the old playlist or the new one.
bool Playlist::write(WideStringView folder) {
  if (!m_dirty) return true;
  const WideString text = toText();
  const WideString base = WideString(folder) + u"\\";
  const WideString path = base + m_name + WideString(kExtension), temporary = base + temporaryName(m_name);
  // Room for two bytes a character: the ANSI code pages have no longer ones.
  std::vector<char> bytes((text.size() + 1) * 2);
  int length =
      WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  if (length > 0 && writeDurably(temporary, bytes, static_cast<size_t>(length - 1)) && replaceWith(path, temporary)) {
    m_dirty = false;
    return true;
  }
  DeleteFileW(temporary.c_str());  // stays dirty: the next save tries again
  return false;
}

WideString fileTitle(WideStringView path) {
  size_t slash = path.rfind(u'\\');
  WideStringView title = slash == WideStringView::npos ? path : path.substr(slash + 1);
  if (size_t dot = title.rfind(u'.'); dot != WideStringView::npos) title = title.substr(0, dot);
  return WideString(title);
}
