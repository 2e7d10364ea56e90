#include "platform/core/codepagetable.h"

namespace {

constexpr CodePageInfo kCodePages[] = {
    {437, "CP437", "IBM437", "OEM United States", 1, {}, false},
    {850, "CP850", "ibm850", "Western European (DOS)", 1, {}, false},
    {874, "CP874", "windows-874", "Thai (Windows)", 1, {}, false},
    {932, "CP932", "shift_jis", "Japanese (Shift-JIS)", 2, {0x81, 0x9F, 0xE0, 0xFC}, false},
    {936, "CP936", "gb2312", "Chinese Simplified (GB2312)", 2, {0x81, 0xFE}, false},
    {949, "CP949", "ks_c_5601-1987", "Korean", 2, {0x81, 0xFE}, false},
    {950, "CP950", "big5", "Chinese Traditional (Big5)", 2, {0x81, 0xFE}, false},
    {1250, "CP1250", "windows-1250", "Central European (Windows)", 1, {}, true},
    {1251, "CP1251", "windows-1251", "Cyrillic (Windows)", 1, {}, true},
    {1252, "CP1252", "Windows-1252", "Western European (Windows)", 1, {}, true},
    {1253, "CP1253", "windows-1253", "Greek (Windows)", 1, {}, true},
    {1254, "CP1254", "windows-1254", "Turkish (Windows)", 1, {}, true},
    {1255, "CP1255", "windows-1255", "Hebrew (Windows)", 1, {}, true},
    {1256, "CP1256", "windows-1256", "Arabic (Windows)", 1, {}, true},
    {1257, "CP1257", "windows-1257", "Baltic (Windows)", 1, {}, true},
    {1258, "CP1258", "windows-1258", "Vietnamese (Windows)", 1, {}, true},
    {20127, "ASCII", "us-ascii", "US-ASCII", 1, {}, false},
    {20866, "KOI8-R", "koi8-r", "Cyrillic (KOI8-R)", 1, {}, false},
    {21866, "KOI8-U", "koi8-u", "Cyrillic (KOI8-U)", 1, {}, false},
    {28591, "ISO-8859-1", "iso-8859-1", "Western European (ISO)", 1, {}, false},
    {28592, "ISO-8859-2", "iso-8859-2", "Central European (ISO)", 1, {}, false},
    {28595, "ISO-8859-5", "iso-8859-5", "Cyrillic (ISO)", 1, {}, false},
    {28597, "ISO-8859-7", "iso-8859-7", "Greek (ISO)", 1, {}, false},
    {28605, "ISO-8859-15", "iso-8859-15", "Latin 9 (ISO)", 1, {}, false},
    {65001, "UTF-8", "utf-8", "Unicode (UTF-8)", 4, {}, false},
};

}  // namespace

std::span<const CodePageInfo> knownCodePages() { return kCodePages; }

const CodePageInfo* findCodePage(UINT codePage) {
  for (const auto& info : kCodePages)
    if (info.codePage == codePage) return &info;
  return nullptr;
}
