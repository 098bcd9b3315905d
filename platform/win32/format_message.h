// FormatMessageW over the layer's own table of system texts, and the local heap it allocates in.
#pragma once

#include <cstdarg>

#include "platform/win32/wintypes.h"

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;

using HLOCAL = void*;

// Only FORMAT_MESSAGE_FROM_SYSTEM is served: the system texts carry no inserts, so the argument
// flags change nothing. The text ends with "\r\n" as system texts do. Returns the length in
// characters without the terminator, 0 with ERROR_MR_MID_NOT_FOUND (317) for an unknown code.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments);
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
