#include "install/payload_unpack.h"

#include "install/payload_format.h"
#include "system/file_api.h"
#include "system/path_helpers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Data is copied through a buffer of this size, so memory stays bounded whatever an entry holds.
constexpr std::size_t kCopyChunk = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Reads up to `size` bytes at `offset`; bytes not present stay as they were.
std::size_t ReadAt(std::FILE* payload, std::int64_t offset, void* buffer, std::size_t size) {
    if (!fsapi::SeekTo(payload, offset)) return 0;
    return std::fread(buffer, 1, size, payload);
}

// A little-endian 32-bit field; missing high-order bytes read as zero.
std::uint32_t ReadU32At(std::FILE* payload, std::int64_t offset) {
    std::array<unsigned char, 4> bytes{};
    ReadAt(payload, offset, bytes.data(), bytes.size());
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A name read through its zero-filled window; false when no terminator lies inside the window.
bool ReadName(std::FILE* payload, std::int64_t offset, std::string& name) {
    std::array<char, kNameWindow> window{};
    ReadAt(payload, offset, window.data(), window.size());
    const char* end = static_cast<const char*>(std::memchr(window.data(), '\0', window.size()));
    if (end == nullptr) return false;
    name.assign(window.data(), static_cast<std::size_t>(end - window.data()));
    return true;
}

// Copies `size` bytes from the payload's current position to `out`, zero bytes standing in for
// whatever the container lacks (all of it when `payload` is null), so the file always gets
// exactly `size` bytes.
void CopyData(std::FILE* payload, std::FILE* out, std::uint32_t size, std::vector<char>& chunk) {
    if (size > 0 && chunk.empty()) chunk.resize(kCopyChunk);
    std::uint64_t remaining = size;
    bool exhausted = payload == nullptr;
    while (remaining > 0) {
        std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, chunk.size()));
        std::size_t got = exhausted ? 0 : std::fread(chunk.data(), 1, step, payload);
        if (got < step) {
            exhausted = true;
            std::memset(chunk.data() + got, 0, step - got);
        }
        if (std::fwrite(chunk.data(), 1, step, out) != step) return;
        remaining -= step;
    }
}

}  // namespace

void UnpackPayload(InstallOwner& owner, const std::string& targetDir, std::FILE* payload) {
    if (!FileExists(targetDir.c_str())) fsapi::CreateOneDirectory(targetDir.c_str());

    std::array<unsigned char, 4> countBytes{};
    std::fread(countBytes.data(), 1, countBytes.size(), payload);
    std::int32_t count = static_cast<std::int32_t>(static_cast<std::uint32_t>(countBytes[0]) |
                                                   static_cast<std::uint32_t>(countBytes[1]) << 8 |
                                                   static_cast<std::uint32_t>(countBytes[2]) << 16 |
                                                   static_cast<std::uint32_t>(countBytes[3]) << 24);
    if (count <= 0) return;

    const std::int64_t payloadSize = fsapi::FileSize(payload);
    std::vector<char> chunk;
    std::int64_t pos = 4;
    for (std::int32_t i = 0; i < count; ++i) {
        owner.SetProgressPos(ProgressPosition(i, count));

        if (payloadSize >= 0 && pos >= payloadSize) {
            // Every remaining entry lies past the end: each would read empty names and a size of
            // 0, make sure of the install directory and write nothing. Do that once, and finish
            // the progress bar where the last entry would have left it.
            std::string directory = FormDirectoryPath(targetDir, "");
            if (!FileExists(directory.c_str())) CreateDirectoryChain(directory);
            if (i + 1 < count) owner.SetProgressPos(ProgressPosition(count - 1, count));
            return;
        }

        std::string directoryName;
        if (!ReadName(payload, pos, directoryName)) return;
        std::string fileName;
        if (!ReadName(payload, pos + static_cast<std::int64_t>(directoryName.size()) + 1, fileName))
            return;
        const bool refused = HasParentReference(directoryName) || HasParentReference(fileName);

        std::string directory = FormDirectoryPath(targetDir, directoryName);
        if (!refused && !FileExists(directory.c_str())) CreateDirectoryChain(directory);
        std::string output = FormOutputPath(directory, fileName);

        pos += static_cast<std::int64_t>(directoryName.size() + fileName.size()) + 2;
        std::uint32_t size = ReadU32At(payload, pos);
        if (size > kMaxDataSize) return;

        if (!refused) {
            UniqueFile out(fsapi::OpenFile(output.c_str(), "wb"));
            if (out) {
                std::FILE* source = fsapi::SeekTo(payload, pos + 4) ? payload : nullptr;
                CopyData(source, out.get(), size, chunk);
            }
        }
        pos += 4 + static_cast<std::int64_t>(size);
    }
}
