#include "system/command_line.h"

std::vector<std::string> CommandLineArguments(std::string_view commandLine) {
    std::vector<std::string> tokens;
    std::string token;
    bool inToken = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inToken) tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken) tokens.push_back(std::move(token));
    if (!tokens.empty()) tokens.erase(tokens.begin());
    return tokens;
}
