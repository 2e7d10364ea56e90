#pragma once
// The code pages named by the device's MIME database (HKEY_CLASSES_ROOT
// "MIME\Database\Codepage"), so that skin documents and playlists can be read
// in any single- or double-byte code page the device knows. The process-wide
// table is filled once at engine start and only read afterwards.
//
//   fillCharsetTable();                              // engine start
//   codePageForCharset(u"GB2312");                   // 936, ignoring case
//   charsetForCodePage(936);                         // u"gb2312", from the registry
//   XML_SetUnknownEncodingHandler(p, unknownEncodingHandler, nullptr);

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/widestring.h"
#include "xml/wideexpat.h"

struct CharsetEntry {
  std::int32_t codePage = 0;      // positive
  char16_t bodyCharset[32] = {};  // up to 31 units, terminated
  char16_t description[64] = {};  // up to 63 units, terminated
};

class CharsetTable {
 public:
  static constexpr std::size_t kInitialCapacity = 10;

  // Replaces the entries by those of the current device's MIME database: a
  // code page whose key cannot be opened or lacks either value is left out;
  // no database leaves the table empty.
  void fill();
  // 0 when no entry's body charset equals `name` ignoring case.
  std::int32_t codePageForCharset(WideStringView name) const;

  // Room for 10 entries first; when full it grows by a third plus one.
  void add(const CharsetEntry& entry);
  std::size_t size() const { return m_entries.size(); }
  std::size_t capacity() const { return m_entries.capacity(); }
  const CharsetEntry& operator[](std::size_t index) const { return m_entries[index]; }

 private:
  std::vector<CharsetEntry> m_entries;
};

// The process-wide table read by the unknown-encoding handler.
CharsetTable& charsetTable();
// Engine start: fills the process-wide table from the current device.
void fillCharsetTable();
// The process-wide table's code page for a charset name, 0 when none.
std::int32_t codePageForCharset(WideStringView name);
// The BodyCharset value of "MIME\Database\Codepage\<codePage>", read from the
// registry each time (at most 63 units); empty when the key or value is missing.
WideString charsetForCodePage(std::int32_t codePage);
// The charset a document written in `codePage` declares: charsetForCodePage,
// or "windows-<codePage>" when the database has no entry, so that the
// document still reads back on the device that wrote it.
WideString declaredCharsetForCodePage(std::int32_t codePage);

// The parser's handler for encodings it does not know itself: the name is
// looked up in the process-wide table, else read as "windows-<code page>"
// (any letter case), and the code page described to expat
// through the device's conversions (single bytes mapped directly, two-byte
// sequences converted on demand). Fails for names not in the table and for
// code pages with characters longer than two bytes. Registered with no data.
int XMLCALL unknownEncodingHandler(void* handlerData, const XML_Char* name, XML_Encoding* info);
