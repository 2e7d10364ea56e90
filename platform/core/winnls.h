#pragma once
// Code pages of the device: its ANSI code page (GetACP) and conversions
// between code pages and UTF-16 (over iconv). Known code pages: 437, 850,
// 874, 932, 936, 949, 950, 1250-1258, 20127, 20866, 21866, 28591, 28592,
// 28595, 28597, 28605 and 65001 (UTF-8).
//
// As on the device: a length of -1 means "up to and including the
// terminating zero"; a destination size of 0 asks for the size needed; a
// destination too small answers 0 with ERROR_INSUFFICIENT_BUFFER; invalid
// input with MB_ERR_INVALID_CHARS answers 0 with ERROR_NO_UNICODE_TRANSLATION
// (without it, an invalid byte becomes '?', U+30FB in 932, U+FFFD in UTF-8); a character
// the code page cannot hold becomes the default character ('?' unless one is
// given), with no best-fit mapping.

#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;  // the ANSI code page: the device has no separate OEM page
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x01;
inline constexpr DWORD MB_COMPOSITE = 0x02;
inline constexpr DWORD MB_USEGLYPHCHARS = 0x04;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;

inline constexpr DWORD WC_DEFAULTCHAR = 0x40;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
inline constexpr DWORD WC_COMPOSITECHECK = 0x200;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

inline constexpr int MAX_LEADBYTES = 12;
inline constexpr int MAX_DEFAULTCHAR = 2;

struct CPINFO {
  UINT MaxCharSize;
  BYTE DefaultChar[MAX_DEFAULTCHAR];
  BYTE LeadByte[MAX_LEADBYTES];  // inclusive ranges as pairs, ending in a zero pair
};
using LPCPINFO = CPINFO*;

// The current device's ANSI code page (1252 unless it was made with another).
UINT GetACP();
UINT GetOEMCP();
BOOL IsValidCodePage(UINT codePage);
BOOL GetCPInfo(UINT codePage, LPCPINFO info);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte);

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR destination,
                        int destinationLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength, LPSTR destination,
                        int destinationLength, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Whole-string forms of the two conversions in the device's ANSI code page,
// for code that hands narrow paths to the zip reader or writes ANSI files.
std::u16string ansiToWide(std::string_view text);
std::string wideToAnsi(std::u16string_view text);
