// libFuzzer target over the container reader, the path rules and the installer's unpacker.
//
// For every input:
//  - the reader never reads more than a name's 260-byte window at once, and its walk is sane;
//  - every entry the unpacker would write forms a path inside the install directory once "."
//    and ".." are resolved the Windows way (or, without its leading backslash, a sibling that
//    still begins with the install directory's path, which verify reports);
//  - the unpacker, run for real on the input, sets the progress position as often as the
//    reader's walk says, and writes nothing outside the install directory but such siblings.
#include "install/progress_sink.h"
#include "install/payload_format.h"
#include "install/payload_reader.h"
#include "install/payload_unpack.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WindowedSource source(data, size);
    PayloadReader reader(source);
    const std::string windowsTarget = "C:\\Apps\\Target";
    std::vector<std::string> targetComponents;
    ResolveWindowsPath(windowsTarget, targetComponents);

    std::int64_t walked = 0;
    std::int64_t lastOffset = 3;
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

    // The unpacker itself, on a real file, into a folder whose surroundings are watched.
    const fs::path& root = ScratchRoot();
    const fs::path parent = root / "p" / "q";
    const fs::path container = root / "input.cab";
    if (std::FILE* file = std::fopen(container.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    std::FILE* payload = std::fopen(container.c_str(), "rb");
    FUZZ_CHECK(payload != nullptr);
    CountingSink sink;
    FilePayloadSource fileSource(payload);
    PayloadSurvey survey = SurveyPayload(fileSource);
    FUZZ_CHECK(survey.whole == !reader.damage());
    UnpackOutcome outcome = UnpackPayload(sink, (parent / "target").string(), fileSource);
    std::fclose(payload);

    if (survey.whole) {
        // Once per entry; written, skipped by the name rules, or the one that failed.
        FUZZ_CHECK(outcome.status != UnpackStatus::kPayloadCutShort);
        if (outcome.ok()) FUZZ_CHECK(sink.calls == (reader.count() > 0 ? walked : 0));
        FUZZ_CHECK(sink.calls <= walked);
    } else {
        // A container that does not hold what it declares is refused before anything is written.
        FUZZ_CHECK(outcome.status == UnpackStatus::kPayloadCutShort);
        FUZZ_CHECK(sink.calls == 0);
        FUZZ_CHECK(fs::is_empty(parent));
    }
    CheckNoTemporaries(parent);

    CheckFolderHolds(root, "p", "input.cab");
    CheckFolderHolds(root / "p", "q", "");
    CheckFolderHolds(parent, "target", "target");
    for (const fs::directory_entry& entry : fs::directory_iterator(parent))
        fs::remove_all(entry.path());
    return 0;
}
