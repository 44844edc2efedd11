// The payload tool, run as a process on real folders: natively, and under Wine for the Windows
// build. Narrow literals in this file are stored in code page 936 (as the installer's are): a
// plain "数据" is the container's form of a name, u8"数据" the form a Linux file system holds.
#include "install/payload_checksum.h"
#include "install/payload_format.h"
#include "install/payload_reader.h"
#include "payload/codepage.h"
#include "payload/files.h"
#include "payload/names.h"
#include "payload/progress.h"
#include "payload_builder.h"
#include "system/path_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using namespace payload_tool;
using tpayload::Container;
using tpayload::Entry;
using tpayload::Field32;
using tpayload::Flipped;
using tpayload::WithChecksums;

std::string U8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    UniqueFile file = OpenFile(path, "wb");
    ASSERT_TRUE(file) << PathToUtf8(path);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
}

std::string ReadBytes(const fs::path& path) {
    UniqueFile file = OpenFile(path, "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
    return bytes;
}

// Every file below a folder: relative UTF-8 path ('/'-separated) to contents.
std::map<std::string, std::string> ReadTree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        files[WithForwardSlashes(PathToUtf8(entry.path().lexically_relative(root)))] =
            ReadBytes(entry.path());
    }
    return files;
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

fs::path ProgramDirectory() {
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return fs::path(path).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

fs::path ToolPath() {
#ifdef _WIN32
    return ProgramDirectory() / "payload-tool.exe";
#else
    return ProgramDirectory() / "payload-tool";
#endif
}

#ifdef _WIN32
std::wstring Quote(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

// Runs the tool with UTF-8 arguments; its output goes through files in `scratch`.
ToolRun RunTool(const fs::path& scratch, const std::vector<std::string>& arguments) {
    const fs::path outPath = scratch / "tool-stdout.txt";
    const fs::path errPath = scratch / "tool-stderr.txt";
    ToolRun run;
#ifdef _WIN32
    std::wstring commandLine = Quote(ToolPath().wstring());
    for (const std::string& argument : arguments)
        commandLine += L" " + Quote(PathFromUtf8(argument).wstring());
    HANDLE out = InheritableFile(outPath);
    HANDLE err = InheritableFile(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
#else
    std::vector<std::string> argv{ToolPath().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    std::error_code ignored;
    fs::remove(outPath, ignored);
    fs::remove(errPath, ignored);
#ifdef _WIN32
    // The C runtime writes text mode: compare lines as Linux writes them.
    for (std::string* text : {&run.out, &run.err}) {
        std::string::size_type at;
        while ((at = text->find("\r\n")) != std::string::npos) text->erase(at, 1);
    }
#endif
    return run;
}

class PayloadTool : public ::testing::Test {
  protected:
    void SetUp() override {
        static int counter = 0;
        const std::string unique = std::to_string(
#ifdef _WIN32
                                       GetCurrentProcessId()
#else
                                       getpid()
#endif
                                           ) +
                                   "-" + std::to_string(++counter);
        scratch_ = fs::temp_directory_path() / ("payload-tool-test-" + unique);
        fs::remove_all(scratch_);
        ASSERT_TRUE(fs::create_directories(scratch_));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    ToolRun Tool(const std::vector<std::string>& arguments) {
        return RunTool(scratch_, arguments);
    }
    std::string At(const fs::path& path) const {
        return PathToUtf8(path);
    }

    // A container file in the scratch folder.
    fs::path ContainerFile(const std::string& bytes, const std::string& name = "Data.cab") {
        fs::path path = scratch_ / name;
        WriteBytes(path, bytes);
        return path;
    }

    fs::path scratch_;
};

// One line, naming what it is about.
void ExpectOneMessage(const ToolRun& run, const std::string& fragment) {
    EXPECT_NE(run.err.find(fragment), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST_F(PayloadTool, RoundTripKeepsEveryFile) {
    const fs::path source = scratch_ / "product";
    std::string large(2500000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 % 251);
    WriteBytes(source / "readme.txt", "hello\n");
    WriteBytes(source / "empty.dat", "");
    WriteBytes(source / "data" / "skins" / "default" / "skin.ini", "[skin]\nname=default\n");
    WriteBytes(source / "data" / "skins" / "night" / "skin.ini", "[skin]\nname=night\n");
    WriteBytes(source / u8"数据" / u8"电台列表.txt", U8(u8"中文内容"));
    WriteBytes(source / u8"数据" / u8"子目录" / u8"空.txt", "");
    WriteBytes(source / "bin" / "QuenVox.exe", large);
    const std::string cab = At(scratch_ / "Data.cab");

    ToolRun pack = Tool({"pack", At(source), cab});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.out,
              cab + ": 7 files, " + std::to_string(6 + 20 + 18 + 12 + large.size()) + " bytes\n");
    EXPECT_EQ(pack.err, "");

    ToolRun verify = Tool({"verify", cab});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find(": OK: 7 entries"), std::string::npos) << verify.out;

    // Names are stored in code page 936, folders in the installer's form.
    const std::string bytes = ReadBytes(scratch_ / "Data.cab");
    EXPECT_NE(bytes.find(std::string("\\数据\\子目录") + '\0' + "空.txt" + '\0'),
              std::string::npos);
    EXPECT_NE(bytes.find(std::string("\\data\\skins\\night") + '\0' + "skin.ini" + '\0'),
              std::string::npos);

    const fs::path target = scratch_ / "installed" / "QuenVox";
    ToolRun unpack = Tool({"unpack", cab, At(target)});
    EXPECT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(unpack.err, "");  // no progress bar without a terminal
    EXPECT_EQ(ReadTree(target), ReadTree(source));
}

TEST_F(PayloadTool, WorkedExampleByteForByte) {
    WriteBytes(scratch_ / "tree" / "d" / "a.txt", "abc");
    const std::string expected(
        "\x01\x00\x00\x00\x5C\x64\x00\x61\x2E\x74\x78\x74\x00\x03\x00\x00\x00\x61\x62\x63", 20);
    ASSERT_EQ(
        Tool({"pack", "--no-checksums", At(scratch_ / "tree"), At(scratch_ / "old.cab")}).status,
        0);
    EXPECT_EQ(ReadBytes(scratch_ / "old.cab"), expected);

    // By default the same bytes, then the trailer: magics, length, count and three checksums.
    ASSERT_EQ(Tool({"pack", At(scratch_ / "tree"), At(scratch_ / "Data.cab")}).status, 0);
    const std::string bytes = ReadBytes(scratch_ / "Data.cab");
    ASSERT_EQ(bytes.size(), 20u + 48u);
    EXPECT_EQ(bytes.substr(0, 20), expected);
    const std::string trailer = bytes.substr(20);
    auto sum = [](const std::string& data) {
        return ChecksumBytes(ChecksumOf(data.data(), data.size()));
    };
    EXPECT_EQ(trailer.substr(0, 8), "SUMSXXH3");
    EXPECT_EQ(trailer.substr(8, 4), Field32(48));
    EXPECT_EQ(trailer.substr(12, 4), Field32(1));
    EXPECT_EQ(trailer.substr(16, 8), sum(expected.substr(0, 17)));  // the count and the header
    EXPECT_EQ(trailer.substr(24, 8), sum(expected.substr(4)));      // the whole entry
    EXPECT_EQ(trailer.substr(32, 8), sum(trailer.substr(0, 32)));
    EXPECT_EQ(trailer.substr(40), "XXH3SUMS");
}

// Entries sorted by their names' bytes, top level first; nothing of the file system's order or
// time stamps gets in.
TEST_F(PayloadTool, SameTreeGivesSameBytes) {
    const std::vector<std::pair<std::u8string, std::string>> files = {
        {u8"z.txt", "z"},     {u8"a.txt", "a"},         {u8"B.txt", "B"},
        {u8"sub/x.bin", "x"}, {u8"sub-dir/y.bin", "y"}, {u8"sub/deeper/w.bin", "w"},
        {u8"数据/v.txt", "v"}};
    for (const auto& [name, data] : files) WriteBytes(scratch_ / "one" / name, data);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        fs::path path = scratch_ / "two" / it->first;
        WriteBytes(path, it->second);
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(100));
    }
    ASSERT_EQ(Tool({"pack", At(scratch_ / "one"), At(scratch_ / "one.cab")}).status, 0);
    ASSERT_EQ(Tool({"pack", At(scratch_ / "two"), At(scratch_ / "two.cab")}).status, 0);
    const std::string bytes = ReadBytes(scratch_ / "one.cab");
    EXPECT_EQ(bytes, ReadBytes(scratch_ / "two.cab"));
    EXPECT_EQ(bytes.substr(bytes.size() - 8), "XXH3SUMS");

    std::vector<std::string> order;
    MemoryPayloadSource source(
        {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    PayloadReader reader(source);
    PayloadEntry entry;
    while (reader.Next(entry)) order.push_back(entry.directoryName + "|" + entry.fileName);
    EXPECT_EQ(order,
              (std::vector<std::string>{"|B.txt", "|a.txt", "|z.txt", "\\sub|x.bin",
                                        "\\sub-dir|y.bin", "\\sub\\deeper|w.bin", "\\数据|v.txt"}));
}

// Every entry of a container in order: "directory|file" to its data.
std::vector<std::pair<std::string, std::string>> ContainerEntries(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> entries;
    MemoryPayloadSource source(
        {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    PayloadReader reader(source);
    PayloadEntry entry;
    while (reader.Next(entry)) {
        entries.emplace_back(entry.directoryName + "|" + entry.fileName,
                             bytes.substr(static_cast<std::size_t>(entry.dataOffset), entry.size));
    }
    return entries;
}

// The list names every other entry, in the order they are packed, as the installed product will
// find them below its folder; and the list changes nothing of pack's determinism.
TEST_F(PayloadTool, FileListNamesEveryOtherEntryAndPacksAlikeTwice) {
    const std::vector<std::pair<std::u8string, std::string>> files = {
        {u8"readme.txt", "r"}, {u8"QuenVox.exe", "exe"},
        {u8"zz.txt", "z"},     {u8"data/skins/night/skin.ini", "n"},
        {u8"data/a.ini", "a"}, {u8"数据/电台.txt", "s"},
        {u8"empty.dat", ""}};
    for (const auto& [name, data] : files) WriteBytes(scratch_ / "one" / name, data);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        fs::path path = scratch_ / "two" / it->first;
        WriteBytes(path, it->second);
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(50));
    }
    const std::string one = At(scratch_ / "one.cab");
    ToolRun pack = Tool({"pack", "--file-list", "quenunset.lst", At(scratch_ / "one"), one});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.out, one + ": 8 files, 106 bytes\n");  // 8 bytes of files and 98 of list
    ASSERT_EQ(
        Tool({"pack", "--file-list=quenunset.lst", At(scratch_ / "two"), At(scratch_ / "two.cab")})
            .status,
        0);
    const std::string bytes = ReadBytes(scratch_ / "one.cab");
    EXPECT_EQ(bytes, ReadBytes(scratch_ / "two.cab"));

    // The list is sorted in among the top-level entries; its lines follow the other entries.
    const std::string list =
        "QuenVox.exe\r\nempty.dat\r\nreadme.txt\r\nzz.txt\r\ndata\\a.ini\r\n"
        "data\\skins\\night\\skin.ini\r\n数据\\电台.txt\r\n";
    EXPECT_EQ(ContainerEntries(bytes), (std::vector<std::pair<std::string, std::string>>{
                                           {"|QuenVox.exe", "exe"},
                                           {"|empty.dat", ""},
                                           {"|quenunset.lst", list},
                                           {"|readme.txt", "r"},
                                           {"|zz.txt", "z"},
                                           {"\\data|a.ini", "a"},
                                           {"\\data\\skins\\night|skin.ini", "n"},
                                           {"\\数据|电台.txt", "s"}}));

    // An ordinary entry for list, verify and unpack.
    ToolRun verify = Tool({"verify", one});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find(": OK: 8 entries, 106 bytes"), std::string::npos) << verify.out;
    ToolRun listed = Tool({"list", one});
    EXPECT_NE(listed.out.find("          98  \\  quenunset.lst\n"), std::string::npos)
        << listed.out;
    ASSERT_EQ(Tool({"unpack", one, At(scratch_ / "out")}).status, 0);
    EXPECT_EQ(ReadBytes(scratch_ / "out" / "quenunset.lst"), list);

    // Without the option nothing of the kind is added.
    ASSERT_EQ(Tool({"pack", At(scratch_ / "one"), At(scratch_ / "plain.cab")}).status, 0);
    EXPECT_EQ(ContainerEntries(ReadBytes(scratch_ / "plain.cab")).size(), 7u);
}

TEST_F(PayloadTool, FileListNameRefusedLeavesNoContainer) {
    struct Case {
        std::string name;
        std::string fragment;
    };
    const Case cases[] = {
        {"README.TXT", "--file-list README.TXT: Windows would take it for readme.txt"},
        {"readme.txt", "--file-list readme.txt: it names the same file as readme.txt"},
        {"sub", "--file-list sub: it and sub/a.txt need the same name for a file and a folder"},
        {"list\\x.lst", "--file-list list\\x.lst: the name holds '\\'"},
        {"list/x.lst", "--file-list list/x.lst: the name holds '/'"},
        {"CON", "device name"},
        {"files.", "ends in a dot"},
        {U8(u8"笑😀.lst"), "cannot be written in code page 936"},
        {std::string(260, 'n'), "more than the 259 the format allows"},
    };
    WriteBytes(scratch_ / "p" / "readme.txt", "r");
    WriteBytes(scratch_ / "p" / "sub" / "a.txt", "a");
    const fs::path output = scratch_ / "Data.cab";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRun run = Tool({"pack", "--file-list", c.name, At(scratch_ / "p"), At(output)});
        EXPECT_EQ(run.status, 1);
        ExpectOneMessage(run, c.fragment);
        EXPECT_FALSE(fs::exists(output));
    }
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"pack", At(scratch_ / "p"), At(output), "--file-list"},
          std::vector<std::string>{"pack", "--file-list=", At(scratch_ / "p"), At(output)}}) {
        ToolRun run = Tool(arguments);
        EXPECT_EQ(run.status, 2);
        ExpectOneMessage(run, "pack: --file-list needs a file name");
    }
    ToolRun notForList = Tool({"list", "--file-list", "x.lst", At(output)});
    EXPECT_EQ(notForList.status, 2);
    ExpectOneMessage(notForList, "list: unknown option --file-list");
}

TEST_F(PayloadTool, PackRefusesAndLeavesNoContainer) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        std::string fragment;
    };
    const std::vector<Case> cases = {
        {"a name the code page lacks",
         [](const fs::path& root) { WriteBytes(root / u8"笑😀.txt", "x"); },
         "cannot be written in code page 936"},
        {"a character whose second byte is 0x5C",
         [](const fs::path& root) { WriteBytes(root / u8"乗" / "a.txt", "x"); }, "0x5C"},
        {"a file of 4 GiB",
         [](const fs::path& root) {
             WriteBytes(root / "huge.bin", "");
             fs::resize_file(root / "huge.bin", 0x100000000ull);
         },
         "below 4 GiB"},
        {"data beginning beyond 2 GiB",
         [](const fs::path& root) {
             // b.bin's names would begin at 0x7FFFFFFF and 0x80000000.
             WriteBytes(root / "a.bin", "");
             fs::resize_file(root / "a.bin", 0x7FFFFFF0ull);
             WriteBytes(root / "b.bin", "b");
         },
         "must begin below 2 GiB"},
        {"the container inside the folder",
         [](const fs::path& root) { WriteBytes(root / "a.txt", "x"); },
         "inside the folder being packed"},
#ifndef _WIN32
        // Windows itself cannot make a folder this deep below a scratch folder (MAX_PATH).
        {"a folder name over 259 bytes",
         [](const fs::path& root) {
             WriteBytes(
                 root / std::string(100, 'a') / std::string(100, 'b') / std::string(57, 'c') / "f",
                 "x");
         },
         "260 bytes in code page 936"},
        {"a symbolic link",
         [](const fs::path& root) {
             WriteBytes(root / "a.txt", "x");
             fs::create_symlink("a.txt", root / "link.txt");
         },
         "link.txt: is a symbolic link"},
        {"a pipe",
         [](const fs::path& root) {
             fs::create_directories(root);
             mkfifo((root / "pipe").c_str(), 0600);
         },
         "pipe: is not a regular file"},
        {"names that differ only in case",
         [](const fs::path& root) {
             WriteBytes(root / "Read.me", "1");
             WriteBytes(root / "read.ME", "2");
         },
         "differ only in case"},
        {"a file and a folder that differ only in case",
         [](const fs::path& root) {
             WriteBytes(root / "Skins", "1");
             WriteBytes(root / "skins" / "a.ini", "2");
         },
         "differ only in case"},
        {"a colon", [](const fs::path& root) { WriteBytes(root / "a:b.txt", "x"); }, "':'"},
        {"a backslash", [](const fs::path& root) { WriteBytes(root / "a\\b.txt", "x"); }, "'\\'"},
        {"a device name", [](const fs::path& root) { WriteBytes(root / "sub" / "Con.txt", "x"); },
         "device name"},
        {"the name of a temporary",
         [](const fs::path& root) { WriteBytes(root / "~setup-0.partial", "x"); },
         "installer's temporary files"},
        {"a trailing dot", [](const fs::path& root) { WriteBytes(root / "notes." / "a.txt", "x"); },
         "ends in a dot"},
        {"a name that is not UTF-8",
         [](const fs::path& root) { WriteBytes(root / "\xB0\xA1.txt", "x"); }, "not valid UTF-8"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path root = scratch_ / "case" / "product";
        const fs::path output = std::string(c.what) == "the container inside the folder"
                                    ? root / "Data.cab"
                                    : scratch_ / "case" / "Data.cab";
        c.make(root);
        WriteBytes(output, "old");
        ToolRun run = Tool({"pack", At(root), At(output)});
        EXPECT_EQ(run.status, 1);
        ExpectOneMessage(run, c.fragment);
        // The old container stays as it was, and no new one is left half written beside it.
        EXPECT_EQ(ReadBytes(output), "old");
        std::vector<std::string> beside;
        for (const fs::directory_entry& entry : fs::directory_iterator(output.parent_path())) {
            beside.push_back(PathToUtf8(entry.path().filename()));
        }
        EXPECT_LE(beside.size(), 2u) << beside.back();
        fs::remove_all(scratch_ / "case");
    }
}

TEST_F(PayloadTool, PackWarnsOfEmptyFolders) {
    WriteBytes(scratch_ / "p" / "a.txt", "a");
    fs::create_directories(scratch_ / "p" / "empty" / "inner");
    ToolRun run = Tool({"pack", At(scratch_ / "p"), At(scratch_ / "Data.cab")});
    EXPECT_EQ(run.status, 0);
    ExpectOneMessage(run, "warning: folder empty/inner is empty and is not stored");
}

TEST_F(PayloadTool, VerifyReportsTheFirstProblem) {
    const std::string longName(260, 'n');
    struct Case {
        const char* what;
        std::string bytes;
        std::string fragment;  // on stdout for a sound container, on stderr otherwise
    };
    const Case cases[] = {
        {"sound", Container({{"\\d", "a.txt", "abc"}, {"", "数据.txt", ""}}),
         ": OK: 2 entries, 3 bytes"},
        {"empty", Container({}), ": OK: 0 entries, 0 bytes"},
        {"count above the entries stored", Container({{"\\d", "a.txt", "abc"}}, 2),
         "at offset 20: the entry count says 2, but only 1 entry is stored"},
        {"count below the entries stored", Container({{"\\d", "a.txt", "abc"}, {"", "b", ""}}, 1),
         "at offset 20: the entry count says 1, but 2 entries are stored"},
        {"name without terminator", Container({{"\\d", longName, ""}}),
         "entry 0 at offset 7: the file name has no terminating zero within its 260-byte window"},
        {"data cut short", Container({{"\\d", "a.txt", "abc", 10u}}),
         "entry 0 (\\d\\a.txt) at offset 17: data cut short: 10 bytes declared, 3 there"},
        {"bytes after the last entry", Container({{"\\d", "a.txt", "abc"}}) + "zz",
         "at offset 20: 2 bytes after the last entry"},
        {"a parent reference", Container({{"\\d\\..\\..", "a.txt", ""}}),
         "entry 0 (\\d\\..\\..\\a.txt) at offset 4: the directory name holds a parent reference"},
        {"a sibling of the install directory", Container({{"", "a", ""}, {"d", "a.txt", ""}}),
         "entry 1 (d\\a.txt) at offset 11: the directory name does not begin with a backslash"},
        {"data size 0xFFFFFFFF", Container({{"\\d", "a.txt", "", 0xFFFFFFFFu}}),
         "entry 0 (\\d\\a.txt) at offset 13: the data size 0xFFFFFFFF is outside the format"},
        {"an empty file name", Container({{"\\d", "", ""}}), "at offset 7: the file name is empty"},
        {"a separator in the file name", Container({{"\\d", "x\\a.txt", ""}}),
         "the file name holds a path separator"},
        {"bytes not valid in code page 936", Container({{"\\d", "\x81.txt", ""}}),
         "at offset 7: the file name is not valid in code page 936"},
        {"a character with the byte 0x5C", Container({{"\\乗", "a.txt", ""}}),
         "the directory name holds the byte 0x5C inside a character"},
        {"a name Windows cannot create", Container({{"\\d", "a:b", ""}}),
         "\"a:b\": the name holds ':'"},
        {"names that differ only in case",
         Container({{"\\Data", "A.txt", "1"}, {"\\data", "a.TXT", "2"}}),
         "entry 1 (\\data\\a.TXT) at offset 21: Windows would take it for entry 0 (\\Data\\A.txt)"},
        {"the same file twice", Container({{"\\d", "a", "1"}, {"\\d\\", "a", "2"}}),
         "it names the same file as entry 0 (\\d\\a), which it would replace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string cab = At(ContainerFile(c.bytes));
        ToolRun run = Tool({"verify", cab});
        if (run.status == 0) {
            EXPECT_NE(run.out.find(c.fragment), std::string::npos) << run.out;
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.status, 1);
            ExpectOneMessage(run, "payload-tool: verify: " + cab + ": ");
            EXPECT_NE(run.err.find(c.fragment), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.status == 0,
                  std::string(c.what) == "sound" || std::string(c.what) == "empty");
    }
}

// With a trailer, verify checks it and then reads every entry and names the first one whose
// bytes do not match its checksum; without one it says there are none to check.
TEST_F(PayloadTool, VerifyChecksTheChecksums) {
    const std::vector<Entry> entries = {
        {"\\d", "a.txt", "abc"}, {"\\d", "b.txt", "defgh"}, {"", "数据.txt", "xyz"}};
    const std::string plain = Container(entries);
    const std::string sealed = WithChecksums(entries);
    const std::size_t trailer = plain.size();
    const std::size_t second = 4 + 3 + 6 + 4 + 3;  // where entry 1 begins
    std::string otherTrailer = WithChecksums({{"\\d", "a.txt", "abc"}}).substr(20);
    struct Case {
        const char* what;
        std::string bytes;
        int status;
        std::string fragment;  // on stdout for a sound container, on stderr otherwise
    };
    const Case cases[] = {
        {"every checksum matches", sealed, 0, ": OK: 3 entries, 11 bytes, every checksum matches"},
        {"no trailer", plain, 0, ": OK: 3 entries, 11 bytes, no checksums"},
        {"a byte of data", Flipped(sealed, second + 15), 1,
         "entry 1 (\\d\\b.txt) at offset 20: checksum mismatch"},
        {"a byte of the last entry's data", Flipped(sealed, trailer - 1), 1,
         "entry 2 (\\" + U8(u8"数据.txt") + ") at offset 38: checksum mismatch"},
        {"a byte of a name", Flipped(sealed, second + 3), 1,
         "at offset " + std::to_string(trailer + 16) +
             ": the entries' names and sizes do not match their checksum in the trailer"},
        {"the head magic", Flipped(sealed, trailer), 1,
         "at offset " + std::to_string(trailer) + ": the checksum trailer's magic is wrong"},
        {"the tail magic", Flipped(sealed, sealed.size() - 1), 1,
         "at offset " + std::to_string(sealed.size() - 8) +
             ": the checksum trailer's magic is wrong"},
        {"the length", Flipped(sealed, trailer + 8), 1,
         "the checksum trailer's length field says 96 bytes, but a trailer of this count takes 64"},
        {"the count", Flipped(sealed, trailer + 12), 1,
         "the checksum trailer is for 35 entries, but the entry count says 3"},
        {"an entry's checksum", Flipped(sealed, trailer + 30), 1,
         "the checksum trailer does not match its own checksum"},
        {"the trailer cut short", sealed.substr(0, sealed.size() - 3), 1,
         "the checksum trailer is cut short: it takes 64 bytes, 61 are there"},
        {"bytes after the trailer", sealed + "z", 1,
         "65 bytes follow the last entry, but the checksum trailer there takes 64"},
        {"a trailer from another container", plain + otherTrailer, 1,
         "the checksum trailer is for 1 entry, but the entry count says 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string cab = At(ContainerFile(c.bytes));
        ToolRun run = Tool({"verify", cab});
        EXPECT_EQ(run.status, c.status);
        if (run.status == 0) {
            EXPECT_NE(run.out.find(c.fragment), std::string::npos) << run.out;
            EXPECT_EQ(run.err, "");
        } else {
            ExpectOneMessage(run, "payload-tool: verify: " + cab + ": ");
            EXPECT_NE(run.err.find(c.fragment), std::string::npos) << run.err;
        }
    }
}

TEST_F(PayloadTool, ListShowsEntriesAndTotal) {
    const std::string cab = At(ContainerFile(
        Container({{"\\d", "a.txt", "abc"}, {"", "数据.txt", ""}, {"\\x", "\x81", "zz"}})));
    ToolRun text = Tool({"list", cab});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "           3  \\d  a.txt\n"
              "           0  \\  " +
                  U8(u8"数据.txt") +
                  "\n"
                  "           2  \\x  \\x81\n"
                  "total: 3 entries, 5 bytes\n"
                  "checksums: none (the installer unpacks it unchecked)\n");
    ToolRun json = Tool({"list", "--json", cab});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\n  \"codepage\": 936,\n  \"count\": 3,\n  \"entries\": [\n"
              "    {\"directory\": \"\\\\d\", \"file\": \"a.txt\", \"size\": 3, \"offset\": 4},\n"
              "    {\"directory\": \"\", \"file\": \"" +
                  U8(u8"数据.txt") +
                  "\", \"size\": 0, \"offset\": 20},\n"
                  "    {\"directory\": \"\\\\x\", \"file\": \"\\\\x81\", \"size\": 2, \"offset\": "
                  "34, \"file_hex\": \"81\"}\n"
                  "  ],\n  \"total_bytes\": 5,\n  \"checksums\": false,\n"
                  "  \"problem\": \"entry 2 (\\\\x\\\\\\\\x81) at offset 37: the file name is not "
                  "valid in code page 936\"\n}\n");

    // Damage that stops the listing is reported after what could be read.
    const std::string cut = At(ContainerFile(Container({{"\\d", "a.txt", "abc", 10u}}), "cut.cab"));
    ToolRun damaged = Tool({"list", cut});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.out,
              "          10  \\d  a.txt\ntotal: 1 entry, 10 bytes\n"
              "checksums: none (the installer unpacks it unchecked)\n");
    ExpectOneMessage(damaged, "data cut short");

    // A container that carries its checksums says so; list reads no data, verify does.
    const std::vector<Entry> entries = {{"\\d", "a.txt", "abc"}, {"", "b", "xy"}};
    const std::string sealed = At(ContainerFile(WithChecksums(entries), "sealed.cab"));
    ToolRun withSums = Tool({"list", sealed});
    EXPECT_EQ(withSums.status, 0) << withSums.err;
    EXPECT_EQ(withSums.out,
              "           3  \\d  a.txt\n           2  \\  b\ntotal: 2 entries, 5 bytes\n"
              "checksums: XXH3-64 of every entry (verify reads and checks them)\n");
    ToolRun withSumsJson = Tool({"list", "--json", sealed});
    EXPECT_EQ(withSumsJson.status, 0) << withSumsJson.err;
    EXPECT_NE(withSumsJson.out.find("\"checksums\": true,\n  \"problem\": null\n}"),
              std::string::npos)
        << withSumsJson.out;
    const std::string badTrailer = At(
        ContainerFile(Flipped(WithChecksums(entries), Container(entries).size() + 9), "bad.cab"));
    ToolRun damagedSums = Tool({"list", "--json", badTrailer});
    EXPECT_EQ(damagedSums.status, 1);
    EXPECT_NE(damagedSums.out.find("\"checksums\": true,"), std::string::npos) << damagedSums.out;
    ExpectOneMessage(damagedSums, "the checksum trailer's length field says");
}

TEST_F(PayloadTool, UnpackWritesOnlyInsideTheTarget) {
    const fs::path target = scratch_ / "out" / "QuenVox";

    // Entries with ".." are skipped as the installer skips them; the rest is unpacked.
    ToolRun parent =
        Tool({"unpack",
              At(ContainerFile(Container({{"\\..", "evil.txt", "x"}, {"\\d", "ok.txt", "ok"}}))),
              At(target)});
    EXPECT_EQ(parent.status, 1);
    ExpectOneMessage(parent, "parent reference");
    EXPECT_EQ(ReadBytes(target / "d" / "ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(scratch_ / "out" / "evil.txt"));
    fs::remove_all(scratch_ / "out");

    // An entry that would land beside the target stops everything before it starts.
    ToolRun sibling = Tool(
        {"unpack", At(ContainerFile(Container({{"\\d", "ok.txt", "ok"}, {"d", "a.txt", "x"}}))),
         At(target)});
    EXPECT_EQ(sibling.status, 1);
    ExpectOneMessage(sibling, "would land beside the target folder; nothing unpacked");
    EXPECT_FALSE(fs::exists(scratch_ / "out"));

    // A container cut short is refused whole, as the installer refuses it.
    ToolRun cut =
        Tool({"unpack",
              At(ContainerFile(Container({{"", "a.txt", "x"}, {"\\数据", "b.bin", "abc", 6u}}))),
              At(target)});
    EXPECT_EQ(cut.status, 1);
    ExpectOneMessage(cut, "data cut short: 6 bytes declared, 3 there");
    ExpectOneMessage(cut, "nothing is unpacked");
    EXPECT_FALSE(fs::exists(target));

    // With checksums: a damaged trailer is refused whole; an entry whose data does not match its
    // checksum stops the unpack there, the earlier entries in place and no temporary left.
    const std::vector<Entry> sealedEntries = {
        {"", "a.txt", "x"}, {"\\数据", "b.bin", "abc"}, {"", "c.txt", "z"}};
    const std::string sealed = WithChecksums(sealedEntries);
    const std::size_t trailer = Container(sealedEntries).size();
    ToolRun badTrailer =
        Tool({"unpack", At(ContainerFile(Flipped(sealed, trailer + 2))), At(target)});
    EXPECT_EQ(badTrailer.status, 1);
    ExpectOneMessage(badTrailer, "the checksum trailer's magic is wrong");
    ExpectOneMessage(badTrailer, "nothing is unpacked");
    EXPECT_FALSE(fs::exists(target));
    const std::size_t secondData = 16 + 6 + 6 + 4;  // entry 1 begins at 16
    ToolRun badData =
        Tool({"unpack", At(ContainerFile(Flipped(sealed, secondData + 1))), At(target)});
    EXPECT_EQ(badData.status, 1);
    ExpectOneMessage(badData, "entry 1 (\\" + U8(u8"数据") +
                                  "\\b.bin) at offset 16: checksum mismatch; unpacking stopped "
                                  "there and no file was replaced");
    EXPECT_EQ(ReadTree(target), (std::map<std::string, std::string>{}));
    ToolRun good = Tool({"unpack", At(ContainerFile(sealed)), At(target)});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(ReadTree(target), (std::map<std::string, std::string>{
                                    {"a.txt", "x"}, {U8(u8"数据/b.bin"), "abc"}, {"c.txt", "z"}}));
    fs::remove_all(scratch_ / "out");

    // A file that cannot be written stops the unpack there, naming it.
    fs::create_directories(target / "a.txt");
    ToolRun blocked =
        Tool({"unpack", At(ContainerFile(Container({{"", "a.txt", "x"}, {"", "b.txt", "y"}}))),
              At(target)});
    EXPECT_EQ(blocked.status, 1);
    ExpectOneMessage(blocked, "a.txt: cannot write it; unpacking stopped there");
    EXPECT_TRUE(fs::is_directory(target / "a.txt"));
    EXPECT_FALSE(fs::exists(target / "b.txt"));
}

TEST_F(PayloadTool, CodePageOption) {
    WriteBytes(scratch_ / "p" / u8"café.txt", "c");
    const std::string cab = At(scratch_ / "Data.cab");
    ASSERT_EQ(Tool({"pack", "--codepage", "1252", At(scratch_ / "p"), cab}).status, 0);
    EXPECT_NE(ReadBytes(scratch_ / "Data.cab").find(std::string("caf\xE9.txt") + '\0'),
              std::string::npos);
    ToolRun list = Tool({"list", "--codepage=1252", cab});
    EXPECT_EQ(list.out, "           1  \\  " + U8(u8"café.txt") +
                            "\ntotal: 1 entry, 1 byte\n"
                            "checksums: XXH3-64 of every entry (verify reads and checks them)\n");
#ifdef _WIN32
    // Windows writes names in its ANSI code page, 936 here.
    ToolRun unpack = Tool({"unpack", "--codepage", "1252", cab, At(scratch_ / "out")});
    EXPECT_EQ(unpack.status, 1);
    ExpectOneMessage(unpack,
                     "this system's ANSI code page, in which the unpacker writes them, is 936");
#else
    ToolRun unpack = Tool({"unpack", "--codepage", "1252", cab, At(scratch_ / "out")});
    EXPECT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(ReadBytes(scratch_ / "out" / u8"café.txt"), "c");
#endif
}

TEST_F(PayloadTool, HelpAndUsageErrors) {
    for (const char* command : {"pack", "list", "verify", "unpack"}) {
        ToolRun run = Tool({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_EQ(run.out.rfind(std::string("usage: payload-tool ") + command, 0), 0u) << run.out;
    }
    EXPECT_EQ(Tool({"--help"}).status, 0);
    struct Case {
        std::vector<std::string> arguments;
        std::string fragment;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frob"}, "unknown command \"frob\""},
        {{"pack", "only-one"}, "pack: expects <folder> <Data.cab>"},
        {{"list", "--bogus", "x"}, "list: unknown option --bogus"},
        {{"verify", "--json", "x"}, "verify: unknown option --json"},
        {{"list", "--no-checksums", "x"}, "list: unknown option --no-checksums"},
        {{"unpack", "--codepage", "abc", "x", "y"}, "needs a code page number, not \"abc\""},
    };
    for (const Case& c : cases) {
        ToolRun run = Tool(c.arguments);
        EXPECT_EQ(run.status, 2) << c.fragment;
        ExpectOneMessage(run, c.fragment);
    }
    ToolRun missing = Tool({"verify", At(scratch_ / "missing.cab")});
    EXPECT_EQ(missing.status, 1);
    ExpectOneMessage(missing, "missing.cab: cannot open it");
}

// The conversions themselves, in process.
TEST(PayloadToolNames, CodePageConversions) {
    std::optional<CodePage> cp936 = CodePage::Open(936);
    ASSERT_TRUE(cp936.has_value());
    struct Case {
        std::string utf8;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {U8(u8"数据"), std::string("\xCA\xFD\xBE\xDD")},
        {"plain.txt", std::string("plain.txt")},
        {"", std::string()},
        {U8(u8"😀"), std::nullopt},       // not in the code page
        {"\xC3\x28", std::nullopt},      // not UTF-8
        {"\xED\xA0\x80", std::nullopt},  // a surrogate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp936->FromUtf8(c.utf8), c.bytes) << Printable(c.utf8);
        if (c.bytes) {
            EXPECT_EQ(cp936->ToUtf8(*c.bytes), c.utf8);
        }
    }
    EXPECT_EQ(cp936->ToUtf8("\x81"), std::nullopt);
    EXPECT_FALSE(CodePage::Open(1).has_value());
}

TEST(PayloadToolNames, WindowsNameRules) {
    struct Case {
        std::string name;
        bool allowed;
    };
    const Case cases[] = {
        {"readme.txt", true},
        {U8(u8"数据"), true},
        {".hidden", true},
        {"a b", true},
        {"console.txt", true},
        {"COM10", true},
        {"a:b", false},
        {"a|b", false},
        {"a?", false},
        {"tab\there", false},
        {"dot.", false},
        {"blank ", false},
        {"CON", false},
        {"nul.txt", false},
        {"Lpt1", false},
        {"com9.log", false},
        {"AUX .txt", false},
        {"", false},
        {"~setup-3.partial", false},
        {"~setup.txt", true},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowsNameProblem(c.name).empty(), c.allowed) << c.name;
    EXPECT_EQ(FoldCase(U8(u8"Readme.TXT")), FoldCase(U8(u8"README.txt")));
    EXPECT_EQ(FoldCase(U8(u8"Ｆ")), FoldCase(U8(u8"ｆ")));
    EXPECT_NE(FoldCase(U8(u8"数据")), FoldCase(U8(u8"数字")));
}

TEST(PayloadToolProgress, DrawsOnlyWhenEnabled) {
    for (bool enabled : {true, false}) {
        UniqueFile out(std::tmpfile());
        ASSERT_TRUE(out);
        {
            ProgressBar bar(out.get(), enabled, 4, 2 * 1024 * 1024);
            bar.Update(1, 1024 * 1024);
        }
        std::rewind(out.get());
        std::string text(256, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), out.get()));
        if (!enabled) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_NE(text.find("\r[###############...............]  50%  1/4 files  1.0/2.0 MiB"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("100%  4/4 files  2.0/2.0 MiB\n"), std::string::npos) << text;
    }
}

}  // namespace
