// libFuzzer target over the container reader, the path rules and the installer's unpacker.
//
// For every input:
//  - the reader never reads more than a name's 260-byte window at once, and its walk is sane;
//  - every entry the unpacker would write forms a path inside the install directory once "."
//    and ".." are resolved the Windows way (or, without its leading backslash, a sibling that
//    still begins with the install directory's path, which verify reports);
//  - the unpacker, run for real on the input, sets the progress position as often as the
//    reader's walk says, and writes nothing outside the install directory but such siblings;
//  - a container the header pass calls damaged (cut short, or a checksum trailer that does not
//    hold) writes nothing, and no run leaves a temporary;
//  - with a checksum trailer, the entry that stops the run as damaged is the first that does not
//    match its checksum, found independently of the copy;
//  - any whole container without trailer, sealed with the trailer its entries give, is taken
//    whole by the header pass and unpacks, checked, to exactly the same files.
#include "install/progress_sink.h"
#include "install/payload_checksum.h"
#include "install/payload_format.h"
#include "install/payload_reader.h"
#include "install/payload_unpack.h"
#include "system/file_api.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

#define FUZZ_CHECK(condition)                                                           \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Unpacking writes real files; larger declared data is left to the reader's checks.
constexpr std::uint64_t kMaxUnpackedBytes = 1 << 20;

// The reader's source, refusing any read wider than a name window.
class WindowedSource final : public PayloadSource {
  public:
    WindowedSource(const std::uint8_t* data, std::size_t size) : memory_({data, size}) {}
    std::int64_t Size() override { return memory_.Size(); }
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
        FUZZ_CHECK(size <= kNameWindow);
        return memory_.ReadAt(offset, buffer, size);
    }

  private:
    MemoryPayloadSource memory_;
};

// Resolves "." and ".." (and components of dots and blanks, which Windows may take for them)
// the way Windows forms a full path; false when the path climbs above its first component.
bool ResolveWindowsPath(const std::string& path, std::vector<std::string>& components) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(start, end - start);
        start = end + 1;
        std::size_t dots = 0;
        bool onlyDotsAndBlanks = true;
        for (char c : component) {
            if (c == '.') {
                ++dots;
            } else if (c != ' ') {
                onlyDotsAndBlanks = false;
            }
        }
        if (component.empty() || (onlyDotsAndBlanks && dots == 1)) continue;
        if (onlyDotsAndBlanks && dots >= 2) {
            if (components.size() <= 1) return false;
            components.pop_back();
            continue;
        }
        components.push_back(component);
    }
    return true;
}

class CountingSink final : public ProgressSink {
  public:
    void SetProgressPos(int position) override {
        FUZZ_CHECK(position >= 0 && position <= 100);
        ++calls;
    }
    std::int64_t calls = 0;
};

const fs::path& ScratchRoot() {
    static const fs::path root = [] {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        // libFuzzer ends without running exit handlers: clear what earlier runs left instead.
        const std::string prefix = "payload-fuzz-";
        for (const fs::directory_entry& entry : fs::directory_iterator(base)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0) continue;
            int pid = std::atoi(name.c_str() + prefix.size());
            if (pid > 0 && kill(pid, 0) == -1 && errno == ESRCH) {
                std::error_code ignored;
                fs::remove_all(entry.path(), ignored);
            }
        }
        fs::path path = base / (prefix + std::to_string(getpid()));
        fs::create_directories(path / "p" / "q");
        fs::create_directories(path / "p" / "s");
        return path;
    }();
    return root;
}

// No temporary of the unpacker is left anywhere below `folder`.
void CheckNoTemporaries(const fs::path& folder) {
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ignored)) {
        FUZZ_CHECK(!IsTemporaryFileName(entry.path().filename().string()));
    }
}

// Everything in `folder` must be named `allowed` or begin with `prefix`.
void CheckFolderHolds(const fs::path& folder, const std::string& allowed,
                      const std::string& prefix) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        FUZZ_CHECK(name == allowed || (!prefix.empty() && name.rfind(prefix, 0) == 0));
    }
}

bool IsSkipped(const PayloadEntry& entry) {
    return entry.fileName.empty() || HasParentReference(entry.directoryName) ||
           HasParentReference(entry.fileName) || HasReservedDeviceName(entry.directoryName) ||
           HasReservedDeviceName(entry.fileName) || IsTemporaryFileName(entry.fileName);
}

// The first entry the unpacker writes whose stored bytes do not match the trailer's checksum for
// it, found on the bytes in memory; -1 when there is none or no trailer.
std::int64_t FirstMismatch(std::span<const std::uint8_t> bytes,
                           const std::optional<PayloadTrailer>& trailer) {
    if (!trailer) return -1;
    MemoryPayloadSource source(bytes);
    TrailerChecksums checksums(source, *trailer);
    PayloadReader reader(source);
    PayloadEntry entry;
    EntryChecksum sum;
    while (reader.Next(entry)) {
        if (IsSkipped(entry)) continue;
        sum.Begin(entry.directoryName, entry.fileName, entry.size);
        sum.Add(bytes.data() + entry.dataOffset, entry.storedSize);
        if (checksums.ForEntry(entry.index) != sum.Value()) return entry.index;
    }
    return -1;
}

// The whole container followed by the trailer its entries give.
std::string Seal(std::span<const std::uint8_t> bytes) {
    MemoryPayloadSource source(bytes);
    PayloadReader reader(source);
    TrailerBuilder trailer(reader.count());
    PayloadEntry entry;
    while (reader.Next(entry)) {
        trailer.BeginEntry(entry.directoryName, entry.fileName, entry.size);
        trailer.AddData(bytes.data() + entry.dataOffset, entry.storedSize);
    }
    return std::string(bytes.begin(), bytes.end()) + trailer.Finish();
}

// Every file below `folder`, by relative path, with its contents.
std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (!entry.is_regular_file()) continue;
        std::string contents;
        if (UniqueFile file{std::fopen(entry.path().c_str(), "rb")}) {
            char piece[4096];
            std::size_t got;
            while ((got = std::fread(piece, 1, sizeof piece, file.get())) > 0)
                contents.append(piece, got);
        }
        files[entry.path().lexically_relative(folder).string()] = contents;
    }
    return files;
}

struct Unpacked {
    PayloadSurvey survey;
    UnpackOutcome outcome;
    std::int64_t calls = 0;
};

// The unpacker itself, on a real file, into "target" in the folder `parent` below root/p, whose
// surroundings are watched: a container the header pass calls damaged writes nothing, no
// temporary is left, and nothing is written beside the target but the siblings verify reports.
Unpacked UnpackFile(const fs::path& root, const char* parentName,
                    std::span<const std::uint8_t> bytes) {
    const fs::path parent = root / "p" / parentName;
    const fs::path container = root / "input.cab";
    if (UniqueFile file{std::fopen(container.c_str(), "wb")}) {
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    }
    UniqueFile payload(std::fopen(container.c_str(), "rb"));
    FUZZ_CHECK(payload);
    CountingSink sink;
    FilePayloadSource fileSource(payload.get());
    Unpacked unpacked;
    unpacked.survey = SurveyPayload(fileSource);
    unpacked.outcome = UnpackPayload(sink, (parent / "target").string(), fileSource);
    unpacked.calls = sink.calls;
    payload.reset();

    if (unpacked.survey.whole) {
        FUZZ_CHECK(unpacked.outcome.status != UnpackStatus::kPayloadCutShort);
        if (!unpacked.survey.trailer)
            FUZZ_CHECK(unpacked.outcome.status != UnpackStatus::kPayloadDamaged);
    } else {
        // Refused before anything is written: cut short, or damaged when checksums tell it.
        FUZZ_CHECK(unpacked.outcome.status == (unpacked.survey.cutShort
                                                   ? UnpackStatus::kPayloadCutShort
                                                   : UnpackStatus::kPayloadDamaged));
        FUZZ_CHECK(sink.calls == 0);
        FUZZ_CHECK(fs::is_empty(parent));
    }
    CheckNoTemporaries(parent);
    CheckFolderHolds(parent, "target", "target");
    return unpacked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WindowedSource source(data, size);
    PayloadReader reader(source);
    const std::string windowsTarget = "C:\\Apps\\Target";
    std::vector<std::string> targetComponents;
    ResolveWindowsPath(windowsTarget, targetComponents);

    std::int64_t walked = 0;
    std::int64_t lastOffset = 3;
    std::int64_t entriesEnd = 4;  // where the bytes after the last entry begin
    std::uint64_t declaredBytes = 0;
    PayloadEntry entry;
    while (reader.Next(entry)) {
        FUZZ_CHECK(entry.index == walked);
        FUZZ_CHECK(entry.offset > lastOffset && entry.offset < reader.size());
        FUZZ_CHECK(entry.directoryName.size() <= kMaxNameLength &&
                   entry.fileName.size() <= kMaxNameLength);
        FUZZ_CHECK(entry.directoryName.find('\0') == std::string::npos);
        FUZZ_CHECK(entry.fileName.find('\0') == std::string::npos);
        FUZZ_CHECK(
            entry.sizeOffset ==
            entry.offset +
                static_cast<std::int64_t>(entry.directoryName.size() + entry.fileName.size()) + 2);
        FUZZ_CHECK(entry.dataOffset == entry.sizeOffset + 4 && entry.storedSize <= entry.size);
        lastOffset = entry.offset;
        entriesEnd = entry.dataOffset + entry.size;
        ++walked;
        declaredBytes += entry.size;

        if (HasParentReference(entry.directoryName) || HasParentReference(entry.fileName)) continue;
        std::string output =
            FormOutputPath(FormDirectoryPath(windowsTarget, entry.directoryName), entry.fileName);
        FUZZ_CHECK(output.rfind(windowsTarget, 0) == 0);
        std::vector<std::string> components;
        FUZZ_CHECK(ResolveWindowsPath(output, components));
        const bool sibling = !entry.directoryName.empty() && entry.directoryName.front() != '\\';
        if (!sibling) {
            // Inside: the install directory's components, then at least the file's own place.
            FUZZ_CHECK(components.size() >= targetComponents.size());
            FUZZ_CHECK(
                std::equal(targetComponents.begin(), targetComponents.end(), components.begin()));
        }
    }
    FUZZ_CHECK(reader.count() <= 0 || walked <= reader.count());
    if (reader.stoppedAt()) FUZZ_CHECK(reader.stoppedAt()->index == walked);

    if (declaredBytes > kMaxUnpackedBytes) return 0;

    const fs::path& root = ScratchRoot();
    Unpacked unpacked = UnpackFile(root, "q", {data, size});
    FUZZ_CHECK(unpacked.survey.whole == !reader.damage());
    if (unpacked.survey.whole) {
        FUZZ_CHECK(reader.trailer().has_value() == unpacked.survey.trailer.has_value());
        // Once per entry; written, skipped by the name rules, or the one that failed.
        if (unpacked.outcome.ok()) FUZZ_CHECK(unpacked.calls == (reader.count() > 0 ? walked : 0));
        FUZZ_CHECK(unpacked.calls <= walked);
        // The entry that stopped the run as damaged is the first whose bytes differ from its
        // checksum, as a check independent of the copy finds it; without a trailer none is.
        std::int64_t mismatch = FirstMismatch({data, size}, unpacked.survey.trailer);
        if (unpacked.outcome.status == UnpackStatus::kPayloadDamaged) {
            FUZZ_CHECK(mismatch >= 0 && mismatch == unpacked.calls - 1);
        } else if (unpacked.outcome.ok()) {
            FUZZ_CHECK(mismatch < 0);
        } else {
            FUZZ_CHECK(mismatch < 0 || mismatch >= unpacked.calls - 1);
        }
    }

    // The same entries sealed with a trailer as the payload tool writes it: the header pass takes
    // it whole, and the checked unpack writes exactly what the unchecked one wrote.
    if (unpacked.survey.whole && !unpacked.survey.trailer && reader.count() >= 0 &&
        entriesEnd == static_cast<std::int64_t>(size)) {
        std::string sealed = Seal({data, size});
        Unpacked checked = UnpackFile(
            root, "s", {reinterpret_cast<const std::uint8_t*>(sealed.data()), sealed.size()});
        FUZZ_CHECK(checked.survey.whole && checked.survey.trailer);
        FUZZ_CHECK(checked.outcome.status == unpacked.outcome.status);
        FUZZ_CHECK(checked.calls == unpacked.calls);
        FUZZ_CHECK(FilesBelow(root / "s" / "target") == FilesBelow(root / "q" / "target"));
    }

    CheckFolderHolds(root, "p", "input.cab");
    CheckFolderHolds(root / "p", "q", "s");
    for (const char* name : {"q", "s"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(root / "p" / name))
            fs::remove_all(entry.path());
    }
    return 0;
}
