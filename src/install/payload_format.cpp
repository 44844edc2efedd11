#include "install/payload_format.h"

std::string FormDirectoryPath(std::string_view installDir, std::string_view directoryName) {
    std::string path;
    path.reserve(installDir.size() + directoryName.size());
    path.append(installDir);
    path.append(directoryName);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string FormOutputPath(std::string_view directoryPath, std::string_view fileName) {
    std::string path;
    path.reserve(directoryPath.size() + 1 + fileName.size());
    path.append(directoryPath);
    path.push_back('\\');
    path.append(fileName);
    return path;
}

namespace {

// True when `test` holds for a level of `name`, levels being separated by backslashes or slashes.
template <typename Test>
bool AnyLevel(std::string_view name, Test test) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        if (test(name.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

bool IsParentComponent(std::string_view component) {
    int dots = 0;
    for (char c : component) {
        if (c == '.') {
            ++dots;
        } else if (c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

bool IsDeviceComponent(std::string_view component) {
    // The part before the first dot decides; blanks and dots after it change nothing.
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsIgnoringAsciiCase(stem, device)) return true;
    }
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
    return EqualsIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
           EqualsIgnoringAsciiCase(stem.substr(0, 3), "LPT");
}

constexpr std::string_view kTemporaryPrefix = "~setup-";
constexpr std::string_view kTemporarySuffix = ".partial";

}  // namespace

bool HasParentReference(std::string_view name) {
    return AnyLevel(name, IsParentComponent);
}

bool HasReservedDeviceName(std::string_view name) {
    return AnyLevel(name, IsDeviceComponent);
}

std::string TemporaryFileName(std::int64_t entryIndex) {
    return std::string(kTemporaryPrefix) + std::to_string(entryIndex) +
           std::string(kTemporarySuffix);
}

bool IsTemporaryFileName(std::string_view fileName) {
    if (fileName.size() < kTemporaryPrefix.size() + kTemporarySuffix.size()) return false;
    return EqualsIgnoringAsciiCase(fileName.substr(0, kTemporaryPrefix.size()), kTemporaryPrefix) &&
           EqualsIgnoringAsciiCase(fileName.substr(fileName.size() - kTemporarySuffix.size()),
                                   kTemporarySuffix);
}

int ProgressPosition(std::int64_t index, std::int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int>(100 * (index + 1) / count);
}
