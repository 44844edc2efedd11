#include "payload/writer.h"

#include "install/little_endian.h"
#include "install/payload_format.h"

#include <array>

namespace payload_tool {

std::optional<LayoutProblem> CheckLayout(const std::vector<PlannedEntry>& entries) {
    if (entries.size() > static_cast<std::size_t>(kMaxEntryCount)) {
        return LayoutProblem{static_cast<std::size_t>(kMaxEntryCount),
                             std::to_string(entries.size()) + " files are more than the format's " +
                                 std::to_string(kMaxEntryCount) + " entries"};
    }
    std::int64_t offset = 4;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PlannedEntry& entry = entries[i];
        for (const std::string* name : {&entry.directoryName, &entry.fileName}) {
            if (name->size() > kMaxNameLength) {
                return LayoutProblem{i, "a name of " + std::to_string(name->size()) +
                                            " bytes is longer than the format's " +
                                            std::to_string(kMaxNameLength)};
            }
            if (name->find('\0') != std::string::npos)
                return LayoutProblem{i, "a name holds a zero byte"};
        }
        if (entry.size > kMaxDataSize) {
            return LayoutProblem{i, std::to_string(entry.size) +
                                        " bytes: the format holds files of at most " +
                                        std::to_string(kMaxDataSize) + " bytes (below 4 GiB)"};
        }
        // The data field is the entry's last to begin; the names and size field come before it.
        std::int64_t dataOffset =
            offset + static_cast<std::int64_t>(entry.directoryName.size() + entry.fileName.size()) +
            6;
        if (dataOffset > kMaxFieldOffset) {
            return LayoutProblem{i, "its data would begin at offset " + std::to_string(dataOffset) +
                                        ", but the format's fields must begin below 2 GiB "
                                        "(the files before it take too much room)"};
        }
        offset = dataOffset + static_cast<std::int64_t>(entry.size);
    }
    return std::nullopt;
}

bool PayloadWriter::Write(const void* data, std::size_t size) {
    if (failed_) return false;
    if (size > 0 && std::fwrite(data, 1, size, out_) != size) failed_ = true;
    written_ += static_cast<std::int64_t>(size);
    return !failed_;
}

bool PayloadWriter::Begin(std::int32_t count) {
    declared_ = count;
    if (checksums_) trailer_.emplace(count);
    std::array<unsigned char, 4> bytes = ToLittleEndian(static_cast<std::uint32_t>(count));
    return Write(bytes.data(), bytes.size());
}

bool PayloadWriter::CloseEntry() {
    if (remaining_ != 0) failed_ = true;
    return !failed_;
}

bool PayloadWriter::AddEntry(const PlannedEntry& entry) {
    if (!CloseEntry() || added_ >= declared_ || entry.size > kMaxDataSize) {
        failed_ = true;
        return false;
    }
    ++added_;
    std::uint32_t size = static_cast<std::uint32_t>(entry.size);
    std::array<unsigned char, 4> sizeBytes = ToLittleEndian(size);
    static constexpr char kTerminator = '\0';
    remaining_ = entry.size;
    if (trailer_) trailer_->BeginEntry(entry.directoryName, entry.fileName, size);
    return Write(entry.directoryName.data(), entry.directoryName.size()) &&
           Write(&kTerminator, 1) && Write(entry.fileName.data(), entry.fileName.size()) &&
           Write(&kTerminator, 1) && Write(sizeBytes.data(), sizeBytes.size());
}

bool PayloadWriter::AddData(const void* data, std::size_t size) {
    if (size > remaining_) {
        failed_ = true;
        return false;
    }
    remaining_ -= size;
    if (trailer_) trailer_->AddData(data, size);
    return Write(data, size);
}

bool PayloadWriter::Finish() {
    if (!CloseEntry() || added_ != declared_) failed_ = true;
    if (trailer_ && !failed_) {
        std::string trailer = trailer_->Finish();
        Write(trailer.data(), trailer.size());
    }
    return !failed_;
}

}  // namespace payload_tool
