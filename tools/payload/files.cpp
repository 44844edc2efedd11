#include "payload/files.h"

#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace payload_tool {

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

UniqueFile OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::strlen(mode));
    return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return UniqueFile(std::fopen(path.c_str(), mode));
#endif
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

PendingFile::PendingFile(Token, fs::path target, fs::path path, UniqueFile stream)
    : target_(std::move(target)), path_(std::move(path)), stream_(std::move(stream)) {}

PendingFile::~PendingFile() {
    if (committed_) return;
    stream_.reset();
    std::error_code ignored;
    fs::remove(path_, ignored);
}

std::unique_ptr<PendingFile> PendingFile::Create(const fs::path& target, std::string& error) {
#ifdef _WIN32
    static unsigned counter = 0;
    for (;;) {
        fs::path path = target;
        path +=
            L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            error = "cannot create a file beside it (Windows error " +
                    std::to_string(GetLastError()) + ")";
            return nullptr;
        }
        int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(handle);
            error = "cannot open the new file";
            return nullptr;
        }
        UniqueFile stream(_fdopen(descriptor, "wb"));
        if (!stream) {
            _close(descriptor);
            error = "cannot open the new file";
            return nullptr;
        }
        return std::make_unique<PendingFile>(Token{}, target, path, std::move(stream));
    }
#else
    std::string pattern = target.string() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int descriptor = mkstemp(name.data());
    if (descriptor == -1) {
        error = "cannot create a file beside it: " + ErrorText(errno);
        return nullptr;
    }
    // mkstemp makes the file private; the container gets the permissions of any new file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    fs::path path(name.data());
    UniqueFile stream(fdopen(descriptor, "wb"));
    if (!stream) {
        int saved = errno;
        close(descriptor);
        unlink(name.data());
        error = "cannot open the new file: " + ErrorText(saved);
        return nullptr;
    }
    return std::make_unique<PendingFile>(Token{}, target, path, std::move(stream));
#endif
}

bool PendingFile::Commit(std::string& error) {
    std::FILE* stream = stream_.get();
    int failure = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream)) failure = errno != 0 ? errno : EIO;
#ifdef _WIN32
    if (failure == 0 && _commit(_fileno(stream)) != 0) failure = errno;
#else
    if (failure == 0 && fsync(fileno(stream)) != 0) failure = errno;
#endif
    if (!stream_.Close() && failure == 0) failure = errno;
    if (failure != 0) {
        error = "cannot write it: " + ErrorText(failure);
        return false;
    }
#ifdef _WIN32
    if (!MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = "cannot put it in place (Windows error " + std::to_string(GetLastError()) + ")";
        return false;
    }
#else
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
        error = "cannot put it in place: " + ErrorText(errno);
        return false;
    }
#endif
    committed_ = true;
    return true;
}

}  // namespace payload_tool
