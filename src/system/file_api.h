// The few file-system calls the unpacker makes. On Windows they are the system's own; elsewhere
// (the native build, the payload tool on Linux) they are stand-ins that take the installer's
// backslash-separated paths and give the results the Windows calls would.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Owns an open C stream and closes it when dropped. A writer that must know its data reached the
// system calls Close() itself: a failure while dropping goes unnoticed.
class UniqueFile : public std::unique_ptr<std::FILE, FileCloser> {
  public:
    using unique_ptr::unique_ptr;
    // Closes the stream now; true when one was open and everything written to it reached the
    // system (fclose succeeded, else errno tells why). Nothing is owned afterwards either way.
    bool Close() {
        std::FILE* file = release();
        return file != nullptr && std::fclose(file) == 0;
    }
};

namespace fsapi {

// _access(path, 0) != -1: the path names an existing file or directory.
bool PathExists(const char* path);
// CreateDirectoryA(path, NULL): one level, default security; false when it exists already, its
// parent is missing or the name is invalid.
bool CreateOneDirectory(const char* path);
// fopen with the path's separators understood as the installer writes them; empty on failure.
UniqueFile OpenFile(const char* path, const char* mode);
// Absolute positioning with 64-bit offsets; false on failure.
bool SeekTo(std::FILE* file, std::int64_t offset);
// Size of an open file in bytes, or -1.
std::int64_t FileSize(std::FILE* file);

// Asks the system to put the data of the closed files at `paths` on the disk, so that a file moved
// into place afterwards is never found empty or cut short after a power cut. The index of the
// first file that could not be flushed, or nullopt when all are on the disk. (Windows flushes
// each file; elsewhere each file system concerned is synchronised once.)
std::optional<std::size_t> FlushFilesToDisk(const std::vector<std::string>& paths);
// Moves the file `from` over `to` in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH): `to` is either left as it was or holds the whole new file. Fails when
// `to` is a folder, is read-only or is held open without sharing.
bool MoveFileOver(const char* from, const char* to);
// False when an existing `path` could not be replaced by another file now: it is a folder, a
// read-only file, or a file another program holds open without sharing. True when it is missing.
bool IsReplaceable(const char* path);
// Deletes one file; false when it cannot be deleted or does not exist.
bool RemoveFile(const char* path);
// Names of the files (not folders) directly inside `directory`; empty when it cannot be read.
std::vector<std::string> FileNamesIn(const char* directory);
// Bytes free to the caller on the volume that holds `path`, asked of `path` or, when it does not
// exist yet, of its nearest existing parent; nullopt when the system cannot tell.
std::optional<std::uint64_t> FreeBytesAvailable(const char* path);

}  // namespace fsapi
