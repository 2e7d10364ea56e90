#pragma once
// UTF-16 <-> UTF-8 for the host side of the device: host file names, the
// registry file, diagnostics. Lenient both ways: an unpaired surrogate or a
// malformed UTF-8 sequence becomes U+FFFD, so a conversion never fails.

#include <string>
#include <string_view>

std::string toUtf8(std::u16string_view text);
// Appends `text` to `out` in UTF-8, as toUtf8 converts it.
void appendUtf8(std::string& out, std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// Decodes well-formed UTF-8 into `out`, reusing its storage; false (and
// `out` unspecified) when `text` is not well-formed.
bool assignValidUtf8(std::u16string& out, std::string_view text);

// True when `text` is well-formed UTF-8 (host names that are not cannot be
// named by a device path and are left out of listings).
bool isValidUtf8(std::string_view text);
