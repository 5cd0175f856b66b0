// ANSI to wide-character conversion, for the names the media calls take. On
// this platform the ANSI code page is UTF-8 and wide characters are UTF-16
// code units; the stand-ins turn a wide name back into the file system's
// spelling with NarrowText, so every name that converts reaches its file.
#pragma once

#include <string>

#include "platform/core/Types.h"

using WCHAR = char16_t;

constexpr UINT CP_ACP = 0;
constexpr DWORD MB_PRECOMPOSED = 0x00000001;  // text is taken as it comes: nothing to compose

// Converts `bytes` bytes of `text` (-1: up to and with its terminating zero)
// into at most `wideChars` units at `wide`, and returns the count written.
// `wideChars` 0 asks for the count needed and writes nothing. Returns 0 for a
// code page other than CP_ACP, other flags, or a buffer too small; then
// nothing is written. Bytes that are not UTF-8 become U+FFFD, as the platform
// does without MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int bytes, WCHAR* wide, int wideChars);

// For the stand-ins: a zero-terminated wide text as UTF-8 (lone surrogates
// become U+FFFD).
std::string NarrowText(const WCHAR* wide);
