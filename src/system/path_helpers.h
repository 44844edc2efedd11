// Small file-system services: existence, directory chains and the running executable's place.
#pragma once

#include <cstddef>
#include <string>

// 1 when the path names an existing file or directory (whatever its attributes), else 0.
int FileExists(const char* path);

// Creates every missing directory along a backslash-separated path (a trailing backslash is
// optional). 0 when no creation failed, -1 as soon as one level cannot be created; levels made
// before the failure stay. The caller's string is not changed.
int CreateDirectoryChain(const std::string& path);

// The longest path the system's wide calls take (32767 characters and a terminator).
inline constexpr std::size_t kLongestPath = 32768;

// Full path of the running executable, whatever its length (up to kLongestPath bytes); empty when
// the system cannot give it.
std::string GetExecutablePath();

// Directory of the running executable with one trailing backslash, computed once per process
// (safe from any thread). The text lives for the process and never changes; callers must not
// write into it. Empty when the executable's path cannot be had or does not fit kPathBufferSize.
const char* GetModuleDirectory();
