// Files and paths for the payload tool. Paths travel as UTF-8 text inside the tool and become the
// system's own form (UTF-8 bytes on Linux, UTF-16 on Windows) only here.
#pragma once

#include "system/file_api.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace payload_tool {

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const fs::path& path);

// fopen on the system's form of the path; null on failure, with errno set.
UniqueFile OpenFile(const fs::path& path, const char* mode);

// The system's text for an errno value.
std::string ErrorText(int error);

bool IsTerminal(std::FILE* stream);

// A new file beside `target` that takes the target's place only when committed; otherwise it is
// removed again, so a failed run leaves neither a partial target nor a stray file behind.
class PendingFile {
    struct Token {
        explicit Token() = default;
    };

  public:
    // Creates the file; on failure `error` says why.
    static std::unique_ptr<PendingFile> Create(const fs::path& target, std::string& error);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::FILE* stream() const { return stream_.get(); }
    // Flushes the data to disk, closes the file and renames it onto the target.
    bool Commit(std::string& error);

    PendingFile(Token, fs::path target, fs::path path, UniqueFile stream);

  private:
    fs::path target_;
    fs::path path_;
    UniqueFile stream_;
    bool committed_ = false;
};

}  // namespace payload_tool
