// File-system helpers for the portable tests, which run natively and under Wine. Paths are
// written the installer's way, with backslashes; on POSIX the helpers read them as slashes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tfs {

// A new, empty folder (no trailing separator): below C:\tests on Windows, below /tmp elsewhere.
std::string MakeScratchDirectory(const std::string& tag);

std::string Join(const std::string& directory, const std::string& name);
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);
bool MakeDirectory(const std::string& path);
std::vector<unsigned char> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool WriteText(const std::string& path, const std::string& text);
// Makes a file read-only (false where the platform ignores it, as for root on POSIX).
bool MakeReadOnly(const std::string& path);
// Removes a scratch folder and everything below it (natively; a Wine prefix is thrown away whole).
void RemoveScratch(const std::string& path);
// Names directly inside a folder, sorted.
std::vector<std::string> List(const std::string& directory);
// Every file below a folder, by its path relative to it (backslash-separated), with its
// contents. Names that end in `skippedSuffix`, when one is given, are left out.
std::map<std::string, std::string> Tree(const std::string& folder,
                                        std::string_view skippedSuffix = {});

}  // namespace tfs
