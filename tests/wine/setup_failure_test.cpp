// Setup.exe when an installation cannot be completed: a payload cut short, a file that cannot be
// written, a target volume too small, and an installer ended abruptly half-way. Copies of the
// built installer are started beside a prepared Data.cab and driven through their windows; what
// they leave is read back from the files, the registry, the shortcuts and the browser stub.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "payload_builder.h"
#include "process_support.h"
#include "registry_support.h"
#include "system/file_api.h"
#include "test_fs.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr char kCaption[] = "Setup";
constexpr char kDownloadAgain[] = "安装失败,请重新下载新的安装包!";

constexpr std::uint64_t kMegabyte = 1024 * 1024;

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string FileText(const std::string& path) {
    std::vector<unsigned char> bytes = wt::ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

// Every file below `root` whose name has the unpacker's temporary form, "~setup-*.partial" in
// any case, with its size.
struct FoundFile {
    std::string path;
    std::uint64_t size;
};
void CollectTemporaries(const std::string& root, std::vector<FoundFile>& found) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((root + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = root + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectTemporaries(path, found);
            continue;
        }
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        constexpr std::string_view kPrefix = "~setup-";
        constexpr std::string_view kSuffix = ".partial";
        if (lower.size() >= kPrefix.size() + kSuffix.size() && lower.starts_with(kPrefix) &&
            lower.ends_with(kSuffix)) {
            found.push_back({path, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
        }
    } while (FindNextFileA(search, &data));
    FindClose(search);
}
std::vector<FoundFile> Temporaries(const std::string& root) {
    std::vector<FoundFile> found;
    CollectTemporaries(root, found);
    return found;
}

// Large file contents, made quickly and without holes: 1 MiB blocks of a pattern chosen by
// `seed`, each block stamped with its number, so a block out of place or from the other content
// is told apart.
class BlockPattern {
  public:
    BlockPattern(std::uint64_t size, std::uint32_t seed) : size_(size), seed_(seed) {
        base_.resize(kMegabyte);
        for (std::size_t i = 0; i < base_.size(); ++i) {
            base_[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 12)) & 0xFF);
        }
    }
    std::uint64_t size() const { return size_; }

    // Block `index` (the last one may be shorter) into `block`.
    void Block(std::uint64_t index, std::vector<char>& block) const {
        std::uint64_t length = std::min<std::uint64_t>(kMegabyte, size_ - index * kMegabyte);
        block.assign(base_.begin(), base_.begin() + static_cast<std::ptrdiff_t>(length));
        std::uint64_t stamp = (index << 32) | seed_;
        std::memcpy(block.data(), &stamp, std::min<std::size_t>(sizeof stamp, block.size()));
    }
    std::uint64_t Blocks() const { return (size_ + kMegabyte - 1) / kMegabyte; }

    bool AppendTo(std::FILE* file) const {
        std::vector<char> block;
        for (std::uint64_t i = 0; i < Blocks(); ++i) {
            Block(i, block);
            if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) return false;
        }
        return true;
    }

    // True when the file at `path` holds exactly this content.
    bool Matches(const std::string& path) const {
        UniqueFile file(std::fopen(path.c_str(), "rb"));
        if (!file) return false;
        std::vector<char> expected;
        std::vector<char> actual(kMegabyte);
        for (std::uint64_t i = 0; i < Blocks(); ++i) {
            Block(i, expected);
            if (std::fread(actual.data(), 1, expected.size(), file.get()) != expected.size() ||
                std::memcmp(actual.data(), expected.data(), expected.size()) != 0) {
                return false;
            }
        }
        return std::fgetc(file.get()) == EOF;
    }

  private:
    std::uint64_t size_;
    std::uint32_t seed_;
    std::vector<char> base_;
};

bool WritePattern(const std::string& path, const BlockPattern& pattern) {
    UniqueFile file(std::fopen(path.c_str(), "wb"));
    return file && pattern.AppendTo(file.get()) && file.Close();
}

// A container whose entry `large` carries `pattern` as its data (the entry's own data is
// ignored), written straight to `path` without holding the data in memory.
bool WriteContainer(const std::string& path, std::vector<tpayload::Entry> entries,
                    std::size_t large, const BlockPattern& pattern) {
    entries[large].data.clear();
    entries[large].declaredSize = static_cast<std::uint32_t>(pattern.size());
    std::vector<tpayload::Entry> head(entries.begin(), entries.begin() + large + 1);
    std::vector<tpayload::Entry> rest(entries.begin() + large + 1, entries.end());
    std::vector<unsigned char> headBytes =
        tpayload::Build(head, static_cast<std::int32_t>(entries.size()));
    std::vector<unsigned char> restBytes = tpayload::Build(rest, 0);
    restBytes.erase(restBytes.begin(), restBytes.begin() + 4);  // its count

    UniqueFile file(std::fopen(path.c_str(), "wb"));
    return file &&
           std::fwrite(headBytes.data(), 1, headBytes.size(), file.get()) == headBytes.size() &&
           pattern.AppendTo(file.get()) &&
           std::fwrite(restBytes.data(), 1, restBytes.size(), file.get()) == restBytes.size() &&
           file.Close();
}

// What a run that ended with the installer's message box showed, and how the installer ended.
struct FailedRun {
    std::string caption;
    std::string text;
    bool okOnly = false;  // an OK button and no other
    DWORD exitCode = STILL_ACTIVE;
};

class FailedInstallTest : public wt::InstallerTest {
  protected:
    // The dialog proposes `target` as an earlier installation's folder, known from the registry
    // only, as after a download of an update.
    void ProposeTarget(const std::string& target) {
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, wt::kUninstallKey,
                                            "UninstallString", target + "\\quenunset.exe"));
    }

    // Starts the installer, checks that it proposes `target`, starts the installation and waits
    // for its message box; answers it with OK and waits for the installer to end by itself.
    FailedRun RunToMessage(const std::string& setup, const std::string& target) {
        FailedRun run;
        wt::StartedProcess installer = wt::StartProgram(setup);
        HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) return run;
        EXPECT_EQ(dd::ControlText(dialog, wt::kPathControl), target);
        dd::Click(dialog, IDOK);
        // The box, or an installer that ended without one.
        std::optional<dd::MessageBoxView> box;
        dd::WaitUntil(
            [&] {
                box = dd::WaitForMessageBox(installer.id(), kCaption, 0);
                return box || installer.WaitForExit(0);
            },
            dd::kWindowWait);
        EXPECT_TRUE(box) << "no message box captioned " << kCaption;
        if (!box) return run;
        run.caption = box->caption;
        run.text = box->text;
        run.okOnly = GetDlgItem(box->window, IDOK) != nullptr &&
                     GetDlgItem(box->window, IDCANCEL) == nullptr &&
                     GetDlgItem(box->window, IDYES) == nullptr &&
                     GetDlgItem(box->window, IDNO) == nullptr;
        dd::Answer(box->window, IDOK);
        EXPECT_TRUE(wt::WaitForExitClosingBoxes(installer, dd::kWindowWait))
            << "the installer did not end by itself";
        run.exitCode = wt::ExitCode(installer);
        return run;
    }

    // Nothing of the product was registered or linked, and the run still ended as every run
    // does, with the home page.
    void ExpectNothingRegistered() {
        EXPECT_EQ(wt::RegistryValueNames(HKEY_LOCAL_MACHINE, wt::kUninstallKey),
                  std::vector<std::string>{"UninstallString"});
        EXPECT_FALSE(wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, wt::kRunKey, "Quenvox"));
        for (const std::string& link : ShortcutPaths()) {
            EXPECT_FALSE(wt::FileExistsAt(link)) << link;
        }
        std::vector<std::string> browser = wt::WaitForRecordedLines(browser_, 1);
        ASSERT_EQ(browser.size(), 1u);
        EXPECT_EQ(wt::ArgumentsOf(browser[0]), wt::kHomePage);
    }
};

// --- A payload cut short by an interrupted download --------------------------------------------

struct CutCase {
    const char* label;
    enum Where { kInData, kInFileName, kInSizeField, kBetweenEntries } where;
};

void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.label;
}

class CutShortPayloadTest : public FailedInstallTest,
                            public testing::WithParamInterface<CutCase> {};

TEST_P(CutShortPayloadTest, IsRefusedBeforeAnythingIsWritten) {
    const CutCase& c = GetParam();
    const std::vector<tpayload::Entry> entries = {
        {"", "QuenVox.exe", "new product"},
        {"", "quenunset.exe", "new uninstaller"},
        {"\\data", "readme.txt", "澜舟雅韵 readme"},
    };
    const tpayload::Entry& last = entries.back();
    std::vector<unsigned char> container = tpayload::Build(entries);
    // Where the last entry begins: the bytes of the entries before it, under the full count.
    std::vector<tpayload::Entry> before(entries.begin(), entries.end() - 1);
    std::size_t lastStart =
        tpayload::Build(before, static_cast<std::int32_t>(entries.size())).size();
    std::size_t fileName = lastStart + last.directory.size() + 1;
    std::size_t sizeField = fileName + last.file.size() + 1;
    std::size_t cut = 0;
    switch (c.where) {
        case CutCase::kInData:
            cut = container.size() - 3;
            break;
        case CutCase::kInFileName:
            cut = fileName + 3;
            break;
        case CutCase::kInSizeField:
            cut = sizeField + 2;
            break;
        case CutCase::kBetweenEntries:
            cut = lastStart;
            break;
    }
    ASSERT_LT(cut, container.size());
    container.resize(cut);

    std::string setup = PlaceInstaller("download");
    ASSERT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", container));
    std::string target = scratch_ + "\\程序\\QuenVox";
    ProposeTarget(target);

    FailedRun run = RunToMessage(setup, target);
    EXPECT_EQ(run.caption, kCaption);
    EXPECT_EQ(run.text, kDownloadAgain);
    EXPECT_TRUE(run.okOnly);
    EXPECT_EQ(run.exitCode, 5u);

    EXPECT_FALSE(wt::DirectoryExists(target)) << "something of the payload was written";
    EXPECT_FALSE(wt::DirectoryExists(scratch_ + "\\程序"));
    ExpectNothingRegistered();
}

INSTANTIATE_TEST_SUITE_P(Cuts, CutShortPayloadTest,
                         testing::Values(CutCase{"in_last_data", CutCase::kInData},
                                         CutCase{"in_last_file_name", CutCase::kInFileName},
                                         CutCase{"in_last_size_field", CutCase::kInSizeField},
                                         CutCase{"between_entries", CutCase::kBetweenEntries}),
                         [](const testing::TestParamInfo<CutCase>& info) {
                             return std::string(info.param.label);
                         });

// --- A file of the installation that cannot be written -----------------------------------------

struct BlockedCase {
    const char* label;
    const char* blocked;  // the file in the way, in the target folder
    bool heldOpen;        // else a folder stands under its name
};

void PrintTo(const BlockedCase& c, std::ostream* out) {
    *out << c.label;
}

class BlockedFileTest : public FailedInstallTest,
                        public testing::WithParamInterface<BlockedCase> {};

TEST_P(BlockedFileTest, IsNamedAndTheEarlierFileStaysWhole) {
    const BlockedCase& c = GetParam();
    std::string target = scratch_ + "\\程序\\QuenVox";
    ASSERT_TRUE(CreateDirectoryA((scratch_ + "\\程序").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((target + "\\data").c_str(), nullptr));
    // The earlier installation.
    const std::pair<std::string, std::string> earlier[] = {
        {"QuenVox.exe", "old product"},
        {"quenunset.exe", "old uninstaller"},
        {"QuenRecMp3.exe", "old recorder"},
        {"data\\readme.txt", "old readme"},
    };
    std::string blocked = target + "\\" + c.blocked;
    for (const auto& [name, text] : earlier) {
        if (!c.heldOpen && name == c.blocked) continue;
        ASSERT_TRUE(wt::WriteFileBytes(target + "\\" + name, Bytes(text)));
    }
    if (!c.heldOpen) {
        ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
        ASSERT_TRUE(wt::WriteFileBytes(blocked + "\\inside.txt", Bytes("kept")));
    }

    std::string setup = PlaceInstaller("download");
    const std::vector<tpayload::Entry> entries = {
        {"", "QuenVox.exe", "new product"},     {"", "quenunset.exe", "new uninstaller"},
        {"", "QuenRecMp3.exe", "new recorder"}, {"", "QuenMend.exe", "new repair tool"},
        {"\\data", "readme.txt", "new readme"},
    };
    ASSERT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", tpayload::Build(entries)));
    ProposeTarget(target);

    wt::StartedProcess holder;
    if (c.heldOpen) {
        holder = wt::StartProgram(wt::StubDirectory() + "holder_gui.exe", "300 " + blocked);
        ASSERT_TRUE(holder);
        ASSERT_TRUE(dd::WaitUntil(
            [&] {
                HANDLE probe = CreateFileA(blocked.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (probe != INVALID_HANDLE_VALUE) {
                    CloseHandle(probe);
                    return false;
                }
                return GetLastError() == ERROR_SHARING_VIOLATION;
            },
            dd::kWindowWait))
            << "the holder did not take the file";
    }

    FailedRun run = RunToMessage(setup, target);
    EXPECT_EQ(run.caption, kCaption);
    EXPECT_EQ(run.text,
              "无法写入文件:\n" + blocked + "\n请关闭正在使用该文件的程序或检查磁盘后重新安装!");
    EXPECT_TRUE(run.okOnly);
    EXPECT_EQ(run.exitCode, 7u);

    if (holder) {
        EXPECT_TRUE(holder.Running()) << "the holder ended before the installer was done";
        holder = wt::StartedProcess();  // ends it, so the file can be read
        EXPECT_EQ(FileText(blocked), "old product");
    } else {
        EXPECT_TRUE(wt::DirectoryExists(blocked));
        EXPECT_EQ(FileText(blocked + "\\inside.txt"), "kept");
    }
    // The run stopped at the file in the way: what comes after it is as it was.
    EXPECT_FALSE(wt::FileExistsAt(target + "\\QuenMend.exe"));
    EXPECT_EQ(FileText(target + "\\data\\readme.txt"), "old readme");
    for (const FoundFile& temporary : Temporaries(target)) {
        ADD_FAILURE() << "temporary left: " << temporary.path;
    }
    ExpectNothingRegistered();
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlockedFileTest,
                         testing::Values(BlockedCase{"folder_in_the_way", "QuenRecMp3.exe", false},
                                         BlockedCase{"held_without_sharing", "QuenVox.exe", true}),
                         [](const testing::TestParamInfo<BlockedCase>& info) {
                             return std::string(info.param.label);
                         });

// --- A target volume too small ------------------------------------------------------------------

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

TEST_F(FailedInstallTest, ATargetVolumeTooSmallIsRefusedBeforeAnythingIsWritten) {
    // The test runner mounts a small tmpfs and maps it as a drive (SETUP_WINE_SMALL_DRIVE).
    std::string drive = Environment("SETUP_SMALL_DRIVE");
    if (drive.empty()) {
        std::string problem = Environment("SETUP_SMALL_DRIVE_PROBLEM");
        GTEST_SKIP() << "NOT TESTED: no small drive to install onto ("
                     << (problem.empty() ? "not run with SETUP_WINE_SMALL_DRIVE set" : problem)
                     << ")";
    }
    std::string root = drive + "\\";
    ULARGE_INTEGER available{}, total{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, &total, nullptr))
        << drive << " is not a drive of this prefix";
    ASSERT_LE(total.QuadPart, 8 * kMegabyte) << drive << " is not the small drive";
    ASSERT_TRUE(tfs::List(root).empty());

    // 16 MiB in four files of 4 MiB.
    std::vector<tpayload::Entry> entries;
    for (const char* name : {"QuenVox.exe", "quenunset.exe", "QuenRecMp3.exe", "QuenMend.exe"}) {
        entries.push_back({"", name, std::string(4 * kMegabyte, name[4])});
    }
    std::string setup = PlaceInstaller("download");
    ASSERT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", tpayload::Build(entries)));
    std::string target = drive + "\\QuenVox";
    ProposeTarget(target);

    FailedRun run = RunToMessage(setup, target);
    EXPECT_EQ(run.caption, kCaption);
    EXPECT_TRUE(run.text.starts_with("磁盘空间不足,安装需要 16 MB,目标磁盘只剩 ")) << run.text;
    EXPECT_EQ(run.text, "磁盘空间不足,安装需要 16 MB,目标磁盘只剩 " +
                            std::to_string(available.QuadPart / kMegabyte) +
                            " MB 可用。\n请清理磁盘或选择其他目录后重新安装!");
    EXPECT_TRUE(run.okOnly);
    EXPECT_EQ(run.exitCode, 6u);

    EXPECT_FALSE(wt::DirectoryExists(target));
    EXPECT_EQ(tfs::List(root), std::vector<std::string>{}) << "something was written to " << drive;
    ExpectNothingRegistered();
}

// --- An installer ended abruptly half-way ------------------------------------------------------

TEST_F(FailedInstallTest, EndedHalfWayLeavesEveryFileWholeAndTheNextRunCompletes) {
    std::string target = scratch_ + "\\程序\\QuenVox";
    ASSERT_TRUE(CreateDirectoryA((scratch_ + "\\程序").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((target + "\\data").c_str(), nullptr));

    // The earlier installation: the same names, other contents, the large file of another size.
    const BlockPattern oldLarge(192 * kMegabyte, 1);
    const BlockPattern newLarge(256 * kMegabyte, 2);
    std::string large = target + "\\data\\stations.dat";
    struct Small {
        std::string path;
        std::string before;
        std::string after;
    };
    const std::vector<Small> small = {
        {target + "\\QuenVox.exe", "old product", wt::StubBytes("recorder_gui")},
        {target + "\\quenunset.exe", "old uninstaller", "new uninstaller"},
        {target + "\\data\\skin.ini", "[old skin]", "[new skin]"},
    };
    for (const Small& file : small) ASSERT_TRUE(wt::WriteFileBytes(file.path, Bytes(file.before)));
    ASSERT_TRUE(WritePattern(large, oldLarge));

    std::string setup = PlaceInstaller("download");
    std::string payload = FolderOf(setup) + "\\Data.cab";
    const std::vector<tpayload::Entry> entries = {
        {"", "QuenVox.exe", small[0].after},
        {"", "quenunset.exe", small[1].after},
        {"\\data", "stations.dat", ""},
        {"\\data", "skin.ini", small[2].after},
    };
    ASSERT_TRUE(WriteContainer(payload, entries, 2, newLarge));
    ProposeTarget(target);

    // The first run is ended while the large file is being written: once the file that takes
    // its data (a temporary, or the file itself for an installer that writes in place) holds
    // part of it.
    {
        wt::StartedProcess installer = wt::StartProgram(setup);
        HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dd::ControlText(dialog, wt::kPathControl), target);
        dd::Click(dialog, IDOK);
        auto partly = [&](std::uint64_t size) {
            return size >= 4 * kMegabyte && size < newLarge.size() && size != oldLarge.size();
        };
        std::string seenPath;
        std::uint64_t seenSize = 0;
        ASSERT_TRUE(dd::WaitUntil(
            [&] {
                std::vector<FoundFile> candidates = Temporaries(target);
                WIN32_FILE_ATTRIBUTE_DATA data{};
                if (GetFileAttributesExA(large.c_str(), GetFileExInfoStandard, &data)) {
                    candidates.push_back(
                        {large, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
                }
                for (const FoundFile& candidate : candidates) {
                    if (partly(candidate.size)) {
                        seenPath = candidate.path;
                        seenSize = candidate.size;
                        return true;
                    }
                }
                return installer.WaitForExit(0);
            },
            dd::kSlowWindowWait));
        ASSERT_FALSE(seenPath.empty())
            << "the installer ended before it was seen writing the large file";
        ASSERT_TRUE(TerminateProcess(installer.handle(), 1));
        ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
        std::printf("ended with %llu of %llu bytes in %s\n",
                    static_cast<unsigned long long>(seenSize),
                    static_cast<unsigned long long>(newLarge.size()), seenPath.c_str());
    }

    // Each file holds all of its earlier content or all of its new one; the large one, ended
    // while its data was being written, its earlier one.
    for (const Small& file : small) {
        std::string text = FileText(file.path);
        EXPECT_TRUE(text == file.before || text == file.after) << file.path << " holds " << text;
        std::printf("after the end: %s holds its %s content\n", file.path.c_str(),
                    text == file.after    ? "new"
                    : text == file.before ? "earlier"
                                          : "MIXED");
    }
    EXPECT_TRUE(oldLarge.Matches(large))
        << (newLarge.Matches(large) ? "the large file was already replaced"
                                    : "the large file is neither old nor new");
    EXPECT_EQ(wt::RegistryValueNames(HKEY_LOCAL_MACHINE, wt::kUninstallKey),
              std::vector<std::string>{"UninstallString"});
    std::vector<FoundFile> left = Temporaries(target);
    std::printf("temporaries left by the ended run: %zu\n", left.size());
    for (const FoundFile& temporary : left) std::printf("  %s\n", temporary.path.c_str());
    // One as an earlier abrupt end would have left it, so the next run certainly meets one.
    ASSERT_TRUE(wt::WriteFileBytes(target + "\\~SETUP-9.PARTIAL", Bytes("left behind")));

    // The next run clears what was left and installs the product whole.
    wt::StartedProcess installer = wt::StartProgram(setup);
    HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dd::ControlText(dialog, wt::kPathControl), target);
    dd::Click(dialog, IDOK);
    ASSERT_TRUE(wt::WaitForExitClosingBoxes(installer, dd::kSlowWindowWait));
    EXPECT_EQ(wt::ExitCode(installer), 0u);

    for (const Small& file : small) EXPECT_EQ(FileText(file.path), file.after) << file.path;
    EXPECT_TRUE(newLarge.Matches(large));
    for (const FoundFile& temporary : Temporaries(target)) {
        ADD_FAILURE() << "temporary left: " << temporary.path;
    }
    EXPECT_EQ(wt::StoredString(HKEY_LOCAL_MACHINE, wt::kUninstallKey, "UninstallString"),
              target + "\\quenunset.exe");
    EXPECT_EQ(wt::WaitForRecordedLines(small[0].path, 1).size(), 1u)
        << "the product was not started";
    std::vector<std::string> browser = wt::WaitForRecordedLines(browser_, 1);
    ASSERT_EQ(browser.size(), 1u);
    EXPECT_EQ(wt::ArgumentsOf(browser[0]), wt::kHomePage);

    // The prefix is kept after the run; the large files need not be.
    DeleteFileA(large.c_str());
    DeleteFileA(payload.c_str());
}

}  // namespace
