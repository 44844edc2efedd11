#include "system/browser_command.h"

#include <vector>

std::string MakeBrowserCommand(std::string_view commandText, const MultibyteRules& rules) {
    // Lower-case whole characters, and remember where each one starts in the result: a match of
    // ".exe" counts only there, never on the second byte of a double-byte character.
    std::string lowered;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < commandText.size();) {
        std::size_t width = rules.IsLeadByte(static_cast<unsigned char>(commandText[i])) &&
                                    i + 1 < commandText.size()
                                ? 2
                                : 1;
        starts.push_back(lowered.size());
        lowered += rules.ToLower(commandText.substr(i, width));
        i += width;
    }

    constexpr std::string_view kExtension = ".exe";
    for (std::size_t start : starts) {
        if (lowered.compare(start, kExtension.size(), kExtension) != 0) continue;
        // The first ".exe" decides; at position 0 it names no executable and the whole text stays.
        if (start == 0) break;
        std::string command = lowered.substr(0, start + kExtension.size());
        if (lowered.front() == '"') command += '"';
        return command;
    }
    return lowered;
}

std::optional<std::string> ComposeBrowserCommandLine(std::string_view commandText,
                                                     std::string_view url,
                                                     const MultibyteRules& rules) {
    std::string line = MakeBrowserCommand(commandText, rules);
    if (line.size() + 1 + url.size() > kMaxBrowserCommandLine) return std::nullopt;
    line += ' ';
    line += url;
    return line;
}
