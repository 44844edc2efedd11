// Unpacking benchmark: the installer's unpacker against tar and cp on the same data.
//
//   payload_bench [--runs N] [--dir FOLDER] [--keep]
//
// Generates a payload of about 1 GiB in a new folder below FOLDER ($TMPDIR or /tmp): a few
// thousand small files in nested folders and a few files of 128 MiB. Packs it, with its checksum
// trailer as payload-tool pack writes it, into Data.cab and into an uncompressed tar, then unpacks
// it N times each (default 9) with UnpackPayload (which checks every entry against its checksum as
// it writes it), with tar -xf and with cp -r, each timed until its data is on the disk (tar and cp
// are followed by a sync; ours puts its files on the disk itself), removing the target and syncing
// the file system between runs. Prints each one's best and median time and throughput, the ratio
// of ours to the better peer, the same unpack of the files packed without checksums (what
// checking costs), and the peak resident memory of our unpack, also for a payload of one 1 GiB
// entry.
//
//   payload_bench --unpack CONTAINER TARGET PEAK_FILE
//
// One unpack in a process of its own, writing its peak resident memory (KiB) to PEAK_FILE; the
// benchmark runs itself this way.
#include "install/progress_sink.h"
#include "install/payload_unpack.h"
#include "payload/codepage.h"
#include "payload/files.h"
#include "payload/pack.h"
#include "payload/writer.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr int kSmallFiles = 3000;
constexpr int kLargeFiles = 7;
constexpr std::uint64_t kLargeSize = 128 * kMiB;
constexpr std::uint64_t kSingleEntrySize = 1024 * kMiB;

class NullSink final : public ProgressSink {
  public:
    void SetProgressPos(int) override {}
};

// Deterministic bytes that no file system or cache can shortcut.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed | 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    void Fill(std::vector<char>& buffer) {
        for (std::size_t i = 0; i + 8 <= buffer.size(); i += 8) {
            std::uint64_t value = Next();
            std::memcpy(buffer.data() + i, &value, 8);
        }
    }

  private:
    std::uint64_t state_;
};

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "payload_bench: %s\n", text.c_str());
    std::exit(1);
}

void WriteRandomFile(const fs::path& path, std::uint64_t size, Random& random,
                     std::vector<char>& chunk) {
    fs::create_directories(path.parent_path());
    UniqueFile file = payload_tool::OpenFile(path, "wb");
    if (!file) Fail(path.string() + ": cannot create");
    for (std::uint64_t left = size; left > 0;) {
        random.Fill(chunk);
        std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (std::fwrite(chunk.data(), 1, step, file.get()) != step)
            Fail(path.string() + ": cannot write");
        left -= step;
    }
}

// The mixed payload; returns its size in bytes.
std::uint64_t GenerateTree(const fs::path& root) {
    Random random(20111219);
    std::vector<char> chunk(kMiB);
    std::uint64_t total = 0;
    // A hundred folders, one to four levels deep, hold the small files (0.5 to 64 KiB).
    std::vector<fs::path> folders;
    for (int i = 0; i < 100; ++i) {
        fs::path folder = root;
        int depth = 1 + static_cast<int>(random.Next() % 4);
        for (int level = 0; level < depth; ++level) {
            folder /= "dir" +
                      std::to_string(level == depth - 1 ? i : static_cast<int>(random.Next() % 5));
        }
        folders.push_back(folder);
    }
    for (int i = 0; i < kSmallFiles; ++i) {
        std::uint64_t size = 512 + random.Next() % (64 * 1024);
        WriteRandomFile(
            folders[random.Next() % folders.size()] / ("file" + std::to_string(i) + ".dat"), size,
            random, chunk);
        total += size;
    }
    for (int i = 0; i < kLargeFiles; ++i) {
        WriteRandomFile(root / "media" / ("large" + std::to_string(i) + ".bin"), kLargeSize, random,
                        chunk);
        total += kLargeSize;
    }
    return total;
}

// One entry of `size` bytes, written straight into a container.
void WriteSingleEntryContainer(const fs::path& path, std::uint64_t size) {
    UniqueFile file = payload_tool::OpenFile(path, "wb");
    if (!file) Fail(path.string() + ": cannot create");
    payload_tool::PayloadWriter writer(file.get(), true);
    Random random(42);
    std::vector<char> chunk(kMiB);
    bool ok = writer.Begin(1) && writer.AddEntry({"\\media", "single.bin", size});
    for (std::uint64_t left = size; ok && left > 0;) {
        random.Fill(chunk);
        std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        ok = writer.AddData(chunk.data(), step);
        left -= step;
    }
    if (!ok || !writer.Finish()) Fail(path.string() + ": cannot write");
}

// Runs a command to its end; its wall time in seconds.
double RunCommand(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        Fail("cannot start " + command[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail(command[0] + " failed");
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// Puts every file system's written data on the disk; the wall time in seconds.
double TimedSync() {
    auto start = std::chrono::steady_clock::now();
    sync();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Peak resident memory of this process image, from /proc (VmHWM): unlike the rusage of a child,
// it does not take in the memory of the parent that spawned it.
long PeakResidentKiB() {
    UniqueFile status(std::fopen("/proc/self/status", "r"));
    if (!status) return -1;
    char line[256];
    long peak = -1;
    while (std::fgets(line, sizeof line, status.get()) != nullptr) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::atol(line + 6);
    }
    return peak;
}

int UnpackOnce(const char* container, const char* target, const char* peakFile) {
    UniqueFile payload(std::fopen(container, "rb"));
    if (!payload) return 1;
    NullSink sink;
    FilePayloadSource source(payload.get());
    UnpackOutcome outcome = UnpackPayload(sink, target, source);
    payload.reset();
    if (!outcome.ok()) return 1;
    UniqueFile peak(std::fopen(peakFile, "w"));
    if (!peak) return 1;
    std::fprintf(peak.get(), "%ld\n", PeakResidentKiB());
    return peak.Close() ? 0 : 1;
}

// The container carries a checksum trailer that holds, so the unpack checks every entry.
bool CarriesChecksums(const fs::path& container) {
    UniqueFile file = payload_tool::OpenFile(container, "rb");
    if (!file) return false;
    FilePayloadSource source(file.get());
    PayloadSurvey survey = SurveyPayload(source);
    return survey.whole && survey.trailer.has_value();
}

long ReadPeak(const fs::path& peakFile) {
    UniqueFile file(std::fopen(peakFile.c_str(), "r"));
    if (!file) Fail(peakFile.string() + ": no peak recorded");
    long peak = -1;
    if (std::fscanf(file.get(), "%ld", &peak) != 1) peak = -1;
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--unpack") == 0)
        return UnpackOnce(argv[2], argv[3], argv[4]);

    int runs = 9;
    bool keep = false;
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::path("/tmp");
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--dir" && i + 1 < argc) {
            base = argv[++i];
        } else if (argument == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: payload_bench [--runs N] [--dir FOLDER] [--keep]\n");
            return 2;
        }
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string pattern = (base / "payload-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Fail(base.string() + ": cannot make a folder there");
    const fs::path work = pattern;
    const fs::path tree = work / "tree";
    const fs::path target = work / "out";

    std::printf("work folder: %s\n", work.c_str());
    std::fflush(stdout);
    const std::uint64_t bytes = GenerateTree(tree);
    std::optional<payload_tool::CodePage> codePage = payload_tool::CodePage::Open(936);
    payload_tool::PackPlan plan;
    std::string error;
    // The same files without checksums, to show what checking them costs.
    if (!codePage || !payload_tool::PlanPack(tree, *codePage, plan, error) ||
        !payload_tool::WritePack(plan, work / "Data.cab", true, error) ||
        !payload_tool::WritePack(plan, work / "unchecked.cab", false, error)) {
        Fail(error);
    }
    RunCommand({"tar", "-cf", (work / "tree.tar").string(), "-C", tree.string(), "."});
    WriteSingleEntryContainer(work / "single.cab", kSingleEntrySize);
    for (const char* name : {"Data.cab", "single.cab"}) {
        if (!CarriesChecksums(work / name)) Fail(name + std::string(": no checksum trailer"));
    }
    sync();
    std::printf(
        "payload: %zu files, %.1f MiB (%d files of 0.5 to 64 KiB in 100 folders 1 to 4 deep, %d "
        "files of %llu MiB)\n",
        plan.entries.size(), static_cast<double>(bytes) / kMiB, kSmallFiles, kLargeFiles,
        static_cast<unsigned long long>(kLargeSize / kMiB));

    const fs::path peakFile = work / "peak.txt";
    enum class Role { kOurs, kOursUnchecked, kPeer };
    struct Method {
        const char* name;
        std::vector<std::string> command;
        bool makeTarget;
        Role role;
        std::vector<double> seconds;
    };
    std::vector<Method> methods = {
        {"ours: UnpackPayload",
         {self, "--unpack", (work / "Data.cab").string(), target.string(), peakFile.string()},
         false,
         Role::kOurs,
         {}},
        {"ours, no checksums",
         {self, "--unpack", (work / "unchecked.cab").string(), target.string(), peakFile.string()},
         false,
         Role::kOursUnchecked,
         {}},
        {"tar -xf",
         {"tar", "-xf", (work / "tree.tar").string(), "-C", target.string()},
         true,
         Role::kPeer,
         {}},
        {"cp -r", {"cp", "-r", tree.string(), target.string()}, false, Role::kPeer, {}},
    };
    long mixedPeak = 0;
    for (int run = 0; run < runs; ++run) {
        for (Method& method : methods) {
            if (method.makeTarget) fs::create_directory(target);
            // Until the data is on the disk: the installer puts its files there before it moves
            // them into place, so each peer's time includes a sync of what it wrote.
            method.seconds.push_back(RunCommand(method.command) + TimedSync());
            if (method.role == Role::kOurs) mixedPeak = std::max(mixedPeak, ReadPeak(peakFile));
            fs::remove_all(target);
            sync();
        }
    }

    std::printf(
        "runs: %d of each, interleaved, each timed until its data is on the disk (a sync after "
        "tar and cp);\ntarget removed and file system synced between runs; ours checks every "
        "entry against its checksum, and is shown beside the same files packed without "
        "checksums\n",
        runs);
    // Other work on the machine only ever adds time, so the best run is the steadiest figure;
    // the median is shown beside it.
    double bestPeer = 0;
    double medianPeer = 0;
    double oursBest = 0;
    double oursMedian = 0;
    double uncheckedBest = 0;
    double uncheckedMedian = 0;
    for (const Method& method : methods) {
        const double mebibytes = static_cast<double>(bytes) / kMiB;
        double fastest = *std::min_element(method.seconds.begin(), method.seconds.end());
        double median = Median(method.seconds);
        std::string all;
        for (double s : method.seconds) {
            char text[16];
            std::snprintf(text, sizeof text, "%s%.3f", all.empty() ? "" : " ", s);
            all += text;
        }
        std::printf(
            "  %-20s best %6.3f s %7.1f MiB/s   median %6.3f s %7.1f MiB/s   (runs: %s s)\n",
            method.name, fastest, mebibytes / fastest, median, mebibytes / median, all.c_str());
        if (method.role == Role::kOurs) {
            oursBest = mebibytes / fastest;
            oursMedian = mebibytes / median;
        } else if (method.role == Role::kOursUnchecked) {
            uncheckedBest = mebibytes / fastest;
            uncheckedMedian = mebibytes / median;
        } else {
            bestPeer = std::max(bestPeer, mebibytes / fastest);
            medianPeer = std::max(medianPeer, mebibytes / median);
        }
    }
    std::printf(
        "ratio ours / better peer: %.2f on the best runs, %.2f on the medians (goal: at least "
        "0.90)\n",
        oursBest / bestPeer, oursMedian / medianPeer);
    std::printf("ratio ours / ours without checksums: %.2f on the best runs, %.2f on the medians\n",
                oursBest / uncheckedBest, oursMedian / uncheckedMedian);

    double singleSeconds = RunCommand(
        {self, "--unpack", (work / "single.cab").string(), target.string(), peakFile.string()});
    long singlePeak = ReadPeak(peakFile);
    fs::remove_all(target);
    std::printf(
        "peak resident memory of our unpack: %.1f MiB for the payload above, %.1f MiB for one "
        "entry of "
        "%llu MiB (unpacked in %.3f s); goal: under 16 MiB\n",
        static_cast<double>(mixedPeak) / 1024, static_cast<double>(singlePeak) / 1024,
        static_cast<unsigned long long>(kSingleEntrySize / kMiB), singleSeconds);

    if (!keep) fs::remove_all(work);
    return 0;
}
