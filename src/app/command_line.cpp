#include "app/command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool SameSwitch(std::string_view word, std::string_view name) {
    if (word.size() != name.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != name[i]) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string_view ArgumentsOf(std::string_view commandLine) {
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string_view::npos ? commandLine.size() : end + 1;
    } else {
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    }
    return TrimBlanks(commandLine.substr(end));
}

SetupCommandLine ParseSetupArguments(std::string_view arguments) {
    SetupCommandLine options;
    std::string unknown;
    std::string_view rest = TrimBlanks(arguments);
    while (!rest.empty()) {
        if (rest.size() >= 3 && SameSwitch(rest.substr(0, 3), "/D=")) {
            std::string_view folder = TrimBlanks(rest.substr(3));
            if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
                folder = folder.substr(1, folder.size() - 2);
            }
            // The install folder never ends in a separator; a drive root keeps its own.
            while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
                folder.remove_suffix(1);
            }
            if (folder.empty()) {
                if (unknown.empty()) unknown = "/D=";
            } else {
                options.targetDir = std::string(folder);
            }
            break;
        }
        std::size_t end = 0;
        while (end < rest.size() && !IsBlank(rest[end])) ++end;
        std::string_view word = rest.substr(0, end);
        if (SameSwitch(word, "/S")) {
            options.silent = true;
        } else if (SameSwitch(word, "/NORUN")) {
            options.noRun = true;
        } else if (word == "/?") {
            options.help = true;
        } else if (unknown.empty()) {
            unknown = std::string(word);
        }
        rest = TrimBlanks(rest.substr(end));
    }
    if (options.silent) options.usageError = unknown;
    return options;
}
