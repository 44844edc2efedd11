#include "system_snapshot.h"

#include "system/win_resource.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace wt {

namespace {

void AddFiles(const std::string& folder, std::map<std::string, std::string>& files) {
    WIN32_FIND_DATAA found{};
    UniqueFindHandle find(FindFirstFileA((folder + "*").c_str(), &found));
    if (!find) return;
    std::vector<std::string> folders;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[folder + name + "\\"];
            // A link to elsewhere is recorded, not followed.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                folders.push_back(folder + name + "\\");
            }
            continue;
        }
        char text[64];
        std::snprintf(text, sizeof text, "%lu:%lu bytes, written %08lX%08lX", found.nFileSizeHigh,
                      found.nFileSizeLow, found.ftLastWriteTime.dwHighDateTime,
                      found.ftLastWriteTime.dwLowDateTime);
        files[folder + name] = text;
    } while (FindNextFileA(find.get(), &found));
    for (const std::string& sub : folders) AddFiles(sub, files);
}

std::string Hex(const std::vector<unsigned char>& bytes, DWORD size) {
    std::string text;
    char pair[4];
    for (DWORD i = 0; i < size && i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

void AddKeys(HKEY key, const std::string& label, std::map<std::string, std::string>& registry) {
    registry[label + "\\"];
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    std::vector<char> name(std::max(longestName, longestSubkey) + 2);
    std::vector<unsigned char> data(longestData + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                          &dataLength) != ERROR_SUCCESS) {
            continue;
        }
        registry[label + "\\[" + std::string(name.data(), nameLength) + "]"] =
            std::to_string(type) + ":" + Hex(data, dataLength);
    }
    std::vector<std::string> names;
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            names.emplace_back(name.data(), nameLength);
        }
    }
    for (const std::string& sub : names) {
        UniqueRegKey opened;
        if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS) {
            AddKeys(opened.get(), label + "\\" + sub, registry);
        } else {
            registry[label + "\\" + sub + "\\"] = "(cannot be opened)";
        }
    }
}

std::string Lower(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

SystemSnapshot TakeSystemSnapshot(const std::vector<std::string>& folders,
                                  const std::vector<RegistryRoot>& keys) {
    SystemSnapshot snapshot;
    for (const std::string& folder : folders) AddFiles(folder, snapshot.files);
    for (const RegistryRoot& key : keys) {
        UniqueRegKey opened;
        if (RegOpenKeyExA(key.root, key.subkey.c_str(), 0, KEY_READ, opened.put()) ==
            ERROR_SUCCESS) {
            AddKeys(opened.get(), key.label, snapshot.registry);
        }
    }
    return snapshot;
}

std::vector<std::string> SnapshotDifferences(const SystemSnapshot& before,
                                             const SystemSnapshot& after) {
    std::vector<std::string> differences;
    for (auto part : {&SystemSnapshot::files, &SystemSnapshot::registry}) {
        const std::map<std::string, std::string>& was = before.*part;
        const std::map<std::string, std::string>& is = after.*part;
        for (const auto& [entry, state] : was) {
            auto now = is.find(entry);
            if (now == is.end()) {
                differences.push_back("- " + entry);
            } else if (now->second != state) {
                differences.push_back("~ " + entry + " (" + state + " -> " + now->second + ")");
            }
        }
        for (const auto& [entry, state] : is) {
            if (was.find(entry) == was.end()) differences.push_back("+ " + entry);
        }
    }
    return differences;
}

std::vector<std::string> UnexplainedDifferences(const std::vector<std::string>& differences,
                                                const std::vector<ExpectedChange>& expected) {
    std::vector<std::string> unexplained;
    for (const std::string& difference : differences) {
        const std::string entry = Lower(difference.substr(2));
        const bool explained =
            std::any_of(expected.begin(), expected.end(), [&](const ExpectedChange& change) {
                return entry.rfind(Lower(change.prefix), 0) == 0;
            });
        if (!explained) unexplained.push_back(difference);
    }
    return unexplained;
}

}  // namespace wt
