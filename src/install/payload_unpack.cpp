#include "install/payload_unpack.h"

#include "install/payload_checksum.h"
#include "install/payload_format.h"
#include "system/file_api.h"
#include "system/path_helpers.h"
#include "system/path_text.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace {

// Data is copied through a buffer of this size, so memory stays bounded whatever an entry holds.
constexpr std::size_t kCopyChunk = 1 << 20;

// Temporaries an abrupt end of an earlier run left in `folder`.
void ClearStaleTemporaries(const std::string& folder) {
    for (const std::string& name : fsapi::FileNamesIn(folder.c_str())) {
        if (IsTemporaryFileName(name)) fsapi::RemoveFile(FormOutputPath(folder, name).c_str());
    }
}

// A temporary being written; removed again unless it is complete and handed on.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path)
        : path_(std::move(path)), stream_(fsapi::OpenFile(path_.c_str(), "wb")) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (stream_) {
            stream_.reset();
            fsapi::RemoveFile(path_.c_str());
        }
    }

    std::FILE* stream() const { return stream_.get(); }

    // Closes the file; true when everything written reached the system. Either way the file is
    // the caller's to remove from then on.
    bool Close() { return stream_.Close(); }

  private:
    std::string path_;
    UniqueFile stream_;
};

// Writes every entry to a temporary beside its final name first, and moves the temporaries over
// their final names only once all of them are written and on the disk: a failure while writing
// leaves every earlier file as it was, and no file is ever found cut short, after an abrupt end
// or a power cut alike. Whatever was not moved into place is removed with the unpacker.
class Unpacker {
  public:
    Unpacker(PayloadSource& payload, const UnpackHooks& hooks) : payload_(payload), hooks_(hooks) {}
    Unpacker(const Unpacker&) = delete;
    Unpacker& operator=(const Unpacker&) = delete;
    ~Unpacker() {
        for (const Pending& pending : pending_) fsapi::RemoveFile(pending.temporary.c_str());
    }

    // Writes one entry to a temporary for `output`; kDone, kWriteFailed or, when the container
    // cannot be read where the first pass found the data, kPayloadCutShort. With `expected`, the
    // entry's bytes are checked against it as they are copied: kPayloadDamaged when they differ,
    // and the temporary is removed.
    UnpackStatus Write(const PayloadEntry& entry, const std::string& output,
                       std::optional<std::uint64_t> expected) {
        // What stands in the way is found now, before anything has been replaced.
        if (!fsapi::IsReplaceable(output.c_str())) return UnpackStatus::kWriteFailed;
        std::string folder(DirectoryOf(output));
        if (swept_.insert(folder).second) ClearStaleTemporaries(folder);
        std::string temporary = FormOutputPath(folder, TemporaryFileName(entry.index));
        TemporaryFile file(temporary);
        if (file.stream() == nullptr) return UnpackStatus::kWriteFailed;
        if (entry.size > 0 && chunk_.empty()) chunk_.resize(kCopyChunk);
        if (expected) sum_.Begin(entry.directoryName, entry.fileName, entry.size);
        std::uint64_t remaining = entry.size;
        std::int64_t offset = entry.dataOffset;
        while (remaining > 0) {
            std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining, chunk_.size()));
            if (payload_.ReadAt(offset, chunk_.data(), step) != step)
                return UnpackStatus::kPayloadCutShort;
            // While the piece is still in the cache.
            if (expected) sum_.Add(chunk_.data(), step);
            if (std::fwrite(chunk_.data(), 1, step, file.stream()) != step)
                return UnpackStatus::kWriteFailed;
            remaining -= step;
            offset += static_cast<std::int64_t>(step);
            written_ += step;
            if (hooks_.onData) hooks_.onData(written_);
        }
        if (expected && sum_.Value() != *expected) return UnpackStatus::kPayloadDamaged;
        pending_.push_back({temporary, output});
        if (!file.Close()) return UnpackStatus::kWriteFailed;
        return UnpackStatus::kDone;
    }

    // Puts every temporary on the disk, then moves each over its final name in entry order.
    UnpackOutcome PlaceAll() {
        std::vector<std::string> temporaries;
        temporaries.reserve(pending_.size());
        for (const Pending& pending : pending_) temporaries.push_back(pending.temporary);
        if (std::optional<std::size_t> failed = fsapi::FlushFilesToDisk(temporaries)) {
            return UnpackOutcome::WriteFailed(pending_[*failed].output);
        }
        std::size_t placed = 0;
        for (; placed < pending_.size(); ++placed) {
            const Pending& pending = pending_[placed];
            if (!fsapi::MoveFileOver(pending.temporary.c_str(), pending.output.c_str())) break;
        }
        std::string failed = placed < pending_.size() ? pending_[placed].output : std::string();
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(placed));
        return failed.empty() ? UnpackOutcome{} : UnpackOutcome::WriteFailed(failed);
    }

    std::string Map(const std::string& name) const {
        return hooks_.mapName ? hooks_.mapName(name) : name;
    }

  private:
    struct Pending {
        std::string temporary;
        std::string output;
    };

    PayloadSource& payload_;
    const UnpackHooks& hooks_;
    std::vector<char> chunk_;
    EntryChecksum sum_;
    std::set<std::string> swept_;
    std::vector<Pending> pending_;
    std::uint64_t written_ = 0;
};

}  // namespace

bool IsSkippedByNameRules(const PayloadEntry& entry) {
    return entry.fileName.empty() || HasParentReference(entry.directoryName) ||
           HasParentReference(entry.fileName) || HasReservedDeviceName(entry.directoryName) ||
           HasReservedDeviceName(entry.fileName) || IsTemporaryFileName(entry.fileName);
}

UnpackOutcome UnpackPayload(ProgressSink& progress, const std::string& targetDir,
                            PayloadSource& payload, const UnpackHooks& hooks) {
    // The file a failure concerns: the entry being written, else the install directory.
    std::string current = targetDir;
    try {
        PayloadSurvey survey = SurveyPayload(payload);
        if (!survey.whole) {
            return UnpackOutcome::Of(survey.cutShort ? UnpackStatus::kPayloadCutShort
                                                     : UnpackStatus::kPayloadDamaged);
        }
        if (survey.declaredBytes > 0) {
            std::optional<std::uint64_t> free = fsapi::FreeBytesAvailable(targetDir.c_str());
            if (free && *free < survey.declaredBytes) {
                return UnpackOutcome::NoSpace(survey.declaredBytes, *free);
            }
        }

        // Made even for a payload without entries; missing parents come with the first entry.
        if (!FileExists(targetDir.c_str())) fsapi::CreateOneDirectory(targetDir.c_str());

        Unpacker unpacker(payload, hooks);
        std::optional<TrailerChecksums> checksums;
        if (survey.trailer) checksums.emplace(payload, *survey.trailer);
        PayloadReader reader(payload);
        PayloadEntry entry;
        while (reader.Next(entry)) {
            progress.SetProgressPos(ProgressPosition(entry.index, reader.count()));
            // Skipped entries are not read, so not verified either; their names and sizes were,
            // in the first pass.
            if (IsSkippedByNameRules(entry)) continue;
            std::optional<std::uint64_t> expected;
            if (checksums) {
                expected = checksums->ForEntry(entry.index);
                // The container changed since the first pass.
                if (!expected) return UnpackOutcome::Of(UnpackStatus::kPayloadDamaged);
            }
            std::string directory = FormDirectoryPath(targetDir, unpacker.Map(entry.directoryName));
            // A folder that cannot be made shows as a file that cannot be written.
            if (!FileExists(directory.c_str())) CreateDirectoryChain(directory);
            current = FormOutputPath(directory, unpacker.Map(entry.fileName));
            UnpackStatus status = unpacker.Write(entry, current, expected);
            if (status == UnpackStatus::kWriteFailed) return UnpackOutcome::WriteFailed(current);
            if (status == UnpackStatus::kPayloadDamaged) return UnpackOutcome::Damaged(current);
            if (status != UnpackStatus::kDone) return UnpackOutcome::Of(status);
        }
        // The container changed since the first pass.
        if (reader.damage()) {
            return UnpackOutcome::Of(IsChecksumIssue(reader.damage()->issue)
                                         ? UnpackStatus::kPayloadDamaged
                                         : UnpackStatus::kPayloadCutShort);
        }
        return unpacker.PlaceAll();
    } catch (...) {
        // Out of memory, above all: the entry at hand was not written.
        return UnpackOutcome::WriteFailed(current);
    }
}
