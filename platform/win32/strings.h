// Code-page conversion and the UTF-16 string helpers. The ANSI code page (CP_ACP) is the
// character set of the process's locale (LC_CTYPE from the environment), converted with iconv;
// a C/POSIX locale is taken as UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/wintypes.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// Windows semantics: a length of -1 means NUL-terminated and the terminator is converted and
// counted; an output size of 0 asks for the size needed; a buffer too small fails with
// ERROR_INSUFFICIENT_BUFFER; input invalid in its encoding fails with
// ERROR_NO_UNICODE_TRANSLATION (always, not only with the *_ERR_INVALID_CHARS flags).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);
// A character the target set cannot hold becomes the default character ("?" unless given) and
// sets *usedDefaultChar; an unpaired surrogate fails with ERROR_NO_UNICODE_TRANSLATION.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);
UINT GetACP();

int lstrlenW(LPCWSTR text);

namespace win32 {

// The locale's character set name as iconv knows it ("UTF-8" for a C locale).
std::string AnsiCharset();
// Replaces the ANSI character set for this process (tests use it to run as a Windows-125x system).
void SetAnsiCharsetForTesting(const std::string& charset);

// Whole-string conversions for the layer's own use; invalid input yields std::nullopt-like
// failure through the bool.
bool Utf8ToUtf16(std::string_view in, std::u16string& out);
bool Utf16ToUtf8(std::u16string_view in, std::string& out);
std::u16string Utf16FromUtf8(std::string_view in);  // invalid bytes become U+FFFD
std::string Utf8FromUtf16(std::u16string_view in);  // unpaired surrogates become U+FFFD
bool AnsiToUtf16(std::string_view in, std::u16string& out);
bool Utf16ToAnsi(std::u16string_view in, std::string& out);

}  // namespace win32
