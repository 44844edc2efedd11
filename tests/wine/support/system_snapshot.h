// What a test program sees of the machine at one moment: every file and folder below some folders
// and every key and value below some registry keys. Two snapshots compared tell what a program
// left behind; the changes that are expected anyway are named, each with its reason.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace wt {

struct SystemSnapshot {
    // "C:\path\file" to its size and last write time; "C:\path\folder\" to nothing.
    std::map<std::string, std::string> files;
    // "HKLM\Software\Key\" to nothing; "HKLM\Software\Key\[value]" to its type and data.
    std::map<std::string, std::string> registry;
};

struct RegistryRoot {
    HKEY root;
    std::string subkey;  // e.g. "Software"
    std::string label;   // how entries begin, e.g. "HKLM\Software"
};

// The files and folders below each of `folders` ("C:\", "D:\"; a trailing backslash) and the keys
// and values below each of `keys`.
SystemSnapshot TakeSystemSnapshot(const std::vector<std::string>& folders,
                                  const std::vector<RegistryRoot>& keys);

// The differences, one a line: "+ entry" added, "- entry" gone, "~ entry" changed.
std::vector<std::string> SnapshotDifferences(const SystemSnapshot& before,
                                             const SystemSnapshot& after);

// A change that is not the program's doing: every difference whose entry begins with `prefix`
// (without regard to ASCII case) is explained by `reason`.
struct ExpectedChange {
    std::string prefix;
    std::string reason;
};

// The differences that no expected change explains.
std::vector<std::string> UnexplainedDifferences(const std::vector<std::string>& differences,
                                                const std::vector<ExpectedChange>& expected);

}  // namespace wt
