#include "system/path_text.h"

#include <string>

std::optional<std::string> JoinPath(std::string_view head, std::string_view tail) {
    if (head.size() >= kPathBufferSize || tail.size() >= kPathBufferSize - head.size()) {
        return std::nullopt;
    }
    std::string path;
    path.reserve(head.size() + tail.size());
    path.append(head);
    path.append(tail);
    return path;
}

namespace {

bool IsSeparator(std::string_view character) {
    return character == "\\" || character == "/";
}

// The character that begins at `at`: two bytes for a lead byte with a byte after it, else one.
std::string_view CharacterAt(std::string_view text, std::size_t at, const MultibyteRules& rules) {
    std::size_t width =
        rules.IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
    return text.substr(at, width);
}

}  // namespace

std::string_view DirectoryOf(std::string_view path) {
    std::size_t cut = path.rfind('\\');
    if (cut == std::string_view::npos) cut = path.rfind('/');
    if (cut == std::string_view::npos) return path;
    return path.substr(0, cut);
}

std::string WithForwardSlashes(std::string_view path) {
    std::string slashed(path);
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    return slashed;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b, const MultibyteRules& rules) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::string_view x = CharacterAt(a, i, rules);
        std::string_view y = CharacterAt(b, j, rules);
        if (rules.ToLower(x) != rules.ToLower(y)) return false;
        i += x.size();
        j += y.size();
    }
    return i == a.size() && j == b.size();
}

bool IsParentLikeLevel(std::string_view level) {
    return level.find_first_not_of(". ") == std::string_view::npos;
}

bool IsPathInsideFolder(std::string_view path, std::string_view folder,
                        const MultibyteRules& rules) {
    // The folder's characters, one by one, with a trailing separator set aside.
    std::size_t at = 0;
    std::size_t folderAt = 0;
    std::string_view last;
    while (folderAt < folder.size()) {
        std::string_view wanted = CharacterAt(folder, folderAt, rules);
        folderAt += wanted.size();
        if (folderAt == folder.size() && IsSeparator(wanted)) break;
        if (at >= path.size()) return false;
        std::string_view got = CharacterAt(path, at, rules);
        at += got.size();
        const bool same =
            IsSeparator(wanted) ? IsSeparator(got) : rules.ToLower(wanted) == rules.ToLower(got);
        if (!same) return false;
        last = wanted;
    }
    // A folder of separators only is no folder.
    if (last.empty() || IsSeparator(last)) return false;
    if (at >= path.size() || !IsSeparator(CharacterAt(path, at, rules))) return false;
    ++at;

    // One level or more below it, each a real name.
    std::size_t levelStart = at;
    while (true) {
        const bool end = at >= path.size();
        std::string_view character = end ? std::string_view() : CharacterAt(path, at, rules);
        if (end || IsSeparator(character)) {
            if (IsParentLikeLevel(path.substr(levelStart, at - levelStart))) return false;
            if (end) return true;
            levelStart = at + 1;
        }
        at += character.size();
    }
}
