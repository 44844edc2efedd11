// The few file-system calls the unpacker makes. On Windows they are the system's own; elsewhere
// (the native build, the payload tool on Linux) they are stand-ins that take the installer's
// backslash-separated paths and give the results the Windows calls would.
#pragma once

#include <cstdint>
#include <cstdio>

namespace fsapi {

// _access(path, 0) != -1: the path names an existing file or directory.
bool PathExists(const char* path);
// CreateDirectoryA(path, NULL): one level, default security; false when it exists already, its
// parent is missing or the name is invalid.
bool CreateOneDirectory(const char* path);
// fopen with the path's separators understood as the installer writes them.
std::FILE* OpenFile(const char* path, const char* mode);
// Absolute positioning with 64-bit offsets; false on failure.
bool SeekTo(std::FILE* file, std::int64_t offset);
// Size of an open file in bytes, or -1.
std::int64_t FileSize(std::FILE* file);

}  // namespace fsapi
