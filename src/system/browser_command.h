// The command line that starts the browser registered for HTML files: the registry's command cut
// down to the browser's executable, a blank and the URL. Plain C++: the code page's multibyte
// rules come in from outside (the system's on Windows, a fixed table in tests).
#pragma once

#include "system/multibyte_rules.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The longest command line that is started: 255 characters, which with the terminator fill the
// 256-byte buffer the launch is composed in.
inline constexpr std::size_t kMaxBrowserCommandLine = 255;

// The registry's command text lower-cased character by character. When ".exe" is found at a
// character start after the first byte, the text is cut right after the first such ".exe", and a
// closing quote is added when the text began with a quote; otherwise the whole lower-cased text
// (arguments and placeholders included) is the command.
std::string MakeBrowserCommand(std::string_view commandText, const MultibyteRules& rules);

// The browser command, one blank and `url` unchanged; nullopt when that would pass
// kMaxBrowserCommandLine characters, since a shortened line would start a different command.
std::optional<std::string> ComposeBrowserCommandLine(std::string_view commandText,
                                                     std::string_view url,
                                                     const MultibyteRules& rules);
