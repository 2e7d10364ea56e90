#pragma once
// The system's wide string: growable UTF-16, used for every path, id, text and
// registry value. Ids compare exactly; member names, file extensions and tag
// names compare ignoring case (the device's _wcsicmp folding).

#include <string>
#include <string_view>

#include "platform/core/wcrt.h"
#include "platform/core/wformat.h"

using WideString = std::u16string;
using WideStringView = std::u16string_view;

// ASCII or Latin-1 text widened unit by unit (string constants of the system).
WideString toWide(std::string_view text);
// The inverse for text known to be ASCII (diagnostics and tests).
std::string toNarrowAscii(WideStringView text);
// The decimal text of a number, as the automation calls take numbers.
WideString decimalText(long long value);
// Consumes an optional sign and the decimal digits after it from the front of
// `text`; a value beyond an int is held at the int's limit. False, with `text`
// and `value` as they were, when no digit follows.
bool readInteger(WideStringView& text, int& value);

int compareIgnoreCase(WideStringView a, WideStringView b);
// Inline, so that names of another length are told apart without a call.
inline bool equalsIgnoreCase(WideStringView a, WideStringView b) {
  return a.size() == b.size() && compareIgnoreCase(a, b) == 0;
}
bool endsWithIgnoreCase(WideStringView text, WideStringView suffix);
// The text with every unit folded as compareIgnoreCase folds it: two texts are
// equal ignoring case exactly when their folded forms are equal.
WideString foldedCase(WideStringView text);

// wsprintfW-style formatting into a string of any length ("%s", "%d", "%02d",
// "%%", "%s\\%s", "%s, %d", ...). Arguments follow the device's conventions:
// %s takes a LPCWSTR, %d an int.
using ::formatWide;
