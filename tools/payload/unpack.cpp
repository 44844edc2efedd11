#include "payload/unpack.h"

#include "install/payload_format.h"
#include "install/payload_unpack.h"
#include "payload/inspect.h"
#include "payload/names.h"
#include "payload/progress.h"
#include "system/file_api.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace payload_tool {

namespace {

// Progress positions turned into entries begun, for the progress bar.
class EntryCounter final : public ProgressSink {
  public:
    EntryCounter(ProgressBar& progress, const std::vector<std::uint64_t>& bytesBefore)
        : progress_(progress), bytesBefore_(bytesBefore) {}

    // Called once before each entry, so the calls count the entries begun.
    void SetProgressPos(int) override {
        if (begun_ + 1 < bytesBefore_.size()) ++begun_;
        progress_.Update(begun_ - 1, bytesBefore_[begun_ - 1]);
    }
    // Entries begun so far.
    std::uint64_t begun() const { return begun_; }
    // Data bytes written so far, held within the entry being unpacked.
    void DataWritten(std::uint64_t bytes) {
        if (begun_ > 0) progress_.Update(begun_ - 1, std::min(bytes, bytesBefore_[begun_]));
    }

  private:
    ProgressBar& progress_;
    const std::vector<std::uint64_t>& bytesBefore_;
    std::uint64_t begun_ = 0;
};

std::string ConvertForFileSystem(const std::string& name,
                                 [[maybe_unused]] const CodePage& codePage) {
#ifdef _WIN32
    return name;
#else
    std::optional<std::string> text = codePage.ToUtf8(name);
    return text ? *text : name;
#endif
}

// A path the unpacker wrote, for messages.
std::string PathForMessage(const std::string& path, [[maybe_unused]] const CodePage& codePage) {
#ifdef _WIN32
    return DisplayName(path, codePage);
#else
    return Printable(path);
#endif
}

// The target as the unpacker gets it: in the ANSI code page on Windows, where that is the one
// the names are read in, and UTF-8 elsewhere. Nothing, with a message in `error`, when the
// unpacker cannot name it.
std::optional<std::string> UnpackerTarget([[maybe_unused]] const std::string& containerName,
                                          const fs::path& target,
                                          [[maybe_unused]] const CodePage& codePage,
                                          std::string& error) {
#ifdef _WIN32
    if (codePage.number() != GetACP()) {
        error = containerName + ": the names are read in code page " +
                std::to_string(codePage.number()) +
                ", but this system's ANSI code page, in which the unpacker writes them, is " +
                std::to_string(GetACP());
        return std::nullopt;
    }
    std::optional<std::string> targetText = codePage.FromUtf8(PathToUtf8(fs::absolute(target)));
    if (!targetText) {
        error = PathToUtf8(target) + ": the folder's name cannot be written in the ANSI code page";
    }
    return targetText;
#else
    std::string targetDir = PathToUtf8(target);
    if (targetDir.find('\\') != std::string::npos) {
        error = targetDir + ": the unpacker takes backslashes in the folder's name for separators";
        return std::nullopt;
    }
    while (targetDir.size() > 1 && targetDir.back() == '/') targetDir.pop_back();
    return targetDir;
#endif
}

}  // namespace

int UnpackContainer(const fs::path& container, const fs::path& target, const CodePage& codePage,
                    bool showProgress, UnpackResult& result, std::string& error) {
    const std::string containerName = PathToUtf8(container);
    UniqueFile file = OpenFile(container, "rb");
    if (!file) {
        error = containerName + ": cannot open it: " + ErrorText(errno);
        return 1;
    }
    FilePayloadSource source(file.get());
    Inspection inspection = Inspect(source, codePage);
    if (inspection.damage) {
        error = containerName + ": " + inspection.damage->text +
                "; the installer would unpack nothing of it, and nothing is unpacked";
        return 1;
    }

    for (const PayloadEntry& entry : inspection.entries) {
        if (IsSkippedByNameRules(entry)) continue;
        if (!entry.directoryName.empty() && entry.directoryName.front() != '\\') {
            error = containerName + ": " + EntryLabel(entry, codePage) + " at offset " +
                    std::to_string(entry.offset) +
                    ": the directory name does not begin with a backslash, so it would land "
                    "beside the target folder; nothing unpacked";
            return 1;
        }
        // On Linux the names must still fit the unpacker's windows once converted.
        for (const std::string* name : {&entry.directoryName, &entry.fileName}) {
            if (ConvertForFileSystem(*name, codePage).size() > kMaxNameLength) {
                error = containerName + ": " + EntryLabel(entry, codePage) +
                        ": a name is longer than the unpacker's " + std::to_string(kMaxNameLength) +
                        " bytes once converted to UTF-8; unpack it on Windows instead";
                return 1;
            }
        }
    }

    std::optional<std::string> targetDir = UnpackerTarget(containerName, target, codePage, error);
    if (!targetDir) return 1;

    std::error_code code;
    fs::create_directories(target, code);
    if (code) {
        error = PathToUtf8(target) + ": cannot create the folder: " + code.message();
        return 1;
    }

    std::vector<std::uint64_t> bytesBefore{0};
    for (const PayloadEntry& entry : inspection.entries) {
        bytesBefore.push_back(bytesBefore.back() + entry.size);
    }
    ProgressBar progress(stderr, showProgress, inspection.entries.size(), bytesBefore.back());
    EntryCounter counter(progress, bytesBefore);
    UnpackHooks hooks;
    hooks.mapName = [&](const std::string& name) { return ConvertForFileSystem(name, codePage); };
    hooks.onData = [&](std::uint64_t bytes) { counter.DataWritten(bytes); };
    UnpackOutcome outcome = UnpackPayload(counter, *targetDir, source, hooks);
    progress.Finish();

    switch (outcome.status) {
        case UnpackStatus::kDone:
            break;
        case UnpackStatus::kPayloadDamaged:
            if (!outcome.path.empty() && counter.begun() > 0) {
                // The entry begun last is the one that did not match.
                const PayloadEntry& entry = inspection.entries[counter.begun() - 1];
                error = containerName + ": " + EntryLabel(entry, codePage) + " at offset " +
                        std::to_string(entry.offset) +
                        ": checksum mismatch; unpacking stopped there and no file was replaced";
                return 1;
            }
            [[fallthrough]];
        case UnpackStatus::kPayloadMissing:
        case UnpackStatus::kPayloadCutShort:
            error = containerName + ": the container changed while it was unpacked";
            return 1;
        case UnpackStatus::kNoSpace:
            error = PathToUtf8(target) + ": not enough space: the container's files need " +
                    std::to_string(outcome.bytesNeeded) + " bytes, the volume has " +
                    std::to_string(outcome.bytesFree) + " free; nothing unpacked";
            return 1;
        case UnpackStatus::kWriteFailed:
            error = PathForMessage(outcome.path, codePage) +
                    ": cannot write it; unpacking stopped there and no file was replaced";
            return 1;
    }

    for (const PayloadEntry& entry : inspection.entries) {
        if (IsSkippedByNameRules(entry)) continue;
        ++result.files;
        result.bytes += entry.size;
    }
    if (inspection.problem) {
        error =
            containerName + ": unpacked what the installer would, but " + inspection.problem->text;
        return 1;
    }
    return 0;
}

}  // namespace payload_tool
