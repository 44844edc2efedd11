// Conversions between the system's ANSI code page and UTF-16, all in one place.
#pragma once

#include "system/path_text.h"

#include <windows.h>

#include <array>
#include <string>

static_assert(kPathBufferSize == MAX_PATH, "the path limit is the system's");
using WidePathBuffer = std::array<wchar_t, kPathBufferSize>;

// Converts a zero-terminated ANSI path, terminator included, into `out`. False when it does not
// fit in kPathBufferSize wide characters or cannot be converted; `out` is then unspecified.
bool AnsiPathToWide(const char* path, WidePathBuffer& out);

// Whole-string conversions for tests and tools; empty on failure.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
