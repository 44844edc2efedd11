#include "payload/names.h"

#include "install/payload_format.h"
#include "payload/codepage.h"

#include <array>
#include <cstdio>
#include <optional>

namespace payload_tool {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char32_t FoldCharacter(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - U'a' + U'A';
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0xFF41 + 0xFF21;  // full-width Latin
    if (c == 0x03C2) return 0x03A3;                              // final sigma
    if (c >= 0x03B1 && c <= 0x03C9) return c - 0x20;             // Greek
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;             // Cyrillic
    if (c >= 0x0450 && c <= 0x045F) return c - 0x50;             // Cyrillic Ё and the like
    return c;
}

}  // namespace

std::string WindowsNameProblem(std::string_view name) {
    if (name.empty()) return "the name is empty";
    for (std::size_t pos = 0; pos < name.size();) {
        std::optional<char32_t> c = DecodeUtf8(name, pos);
        if (!c) return "the name is not valid UTF-8";
        if (*c < 0x20 || *c == 0x7F) return "the name holds a control character";
        if (*c < 0x80 &&
            std::string_view("<>:\"/\\|?*").find(static_cast<char>(*c)) != std::string_view::npos) {
            char text[64];
            std::snprintf(text, sizeof text, "the name holds '%c', which Windows does not allow",
                          static_cast<char>(*c));
            return text;
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        return "the name ends in a dot or a blank, which Windows drops";
    }
    if (HasReservedDeviceName(name)) return "the name is a Windows device name";
    if (IsTemporaryFileName(name)) {
        return "the name has the form of the installer's temporary files (~setup-N.partial)";
    }
    return {};
}

std::string FoldCase(std::string_view utf8) {
    std::string folded;
    folded.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::size_t start = pos;
        std::optional<char32_t> c = DecodeUtf8(utf8, pos);
        if (!c) {
            pos = start + 1;
            folded.push_back(utf8[start]);
            continue;
        }
        AppendUtf8(folded, FoldCharacter(*c));
    }
    return folded;
}

bool NameCollisions::Add(const std::vector<std::string>& levels, const std::string& name,
                         const std::string& label, std::string& problem) {
    std::string original;
    std::string folded;
    for (std::size_t i = 0; i <= levels.size(); ++i) {
        const bool isFile = i == levels.size();
        const std::string& level = isFile ? name : levels[i];
        original.append("/").append(level);
        folded.append("/").append(FoldCase(level));
        auto [it, inserted] = seen_.try_emplace(folded, Seen{original, label, isFile});
        if (inserted) continue;
        // Folders shared by several files are what a tree is made of.
        if (it->second.original == original && !it->second.isFile && !isFile) continue;
        if (it->second.original == original && it->second.isFile && isFile) {
            problem = "it names the same file as " + it->second.label + ", which it would replace";
        } else if (it->second.original == original) {
            problem = "it and " + it->second.label + " need the same name for a file and a folder";
        } else {
            problem = "Windows would take it for " + it->second.label +
                      " (names that differ only in case are one name there)";
        }
        return false;
    }
    return true;
}

}  // namespace payload_tool
