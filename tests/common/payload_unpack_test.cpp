// Unpacking containers into a real directory tree: natively and, in the Windows build, under Wine.
#include "install/payload_unpack.h"
#include "payload_builder.h"
#include "system/file_api.h"
#include "test_fs.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <map>
#include <string>
#include <utility>
#include <vector>

using tpayload::Build;
using tpayload::Entry;
using tpayload::Flipped;

namespace {

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class RecordingSink final : public ProgressSink {
  public:
    void SetProgressPos(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

struct Unpacked {
    std::vector<int> positions;
    UnpackOutcome outcome;
};

// Unpacks the given container bytes into `targetDir` through a real file ("payload.bin" in
// `scratch`), recording the progress positions and the outcome.
Unpacked Unpack(const std::string& scratch, const std::string& targetDir,
                const std::vector<unsigned char>& container) {
    std::string payloadPath = tfs::Join(scratch, "payload.bin");
    tfs::WriteBytes(payloadPath, container);
    UniqueFile payload = fsapi::OpenFile(payloadPath.c_str(), "rb");
    if (!payload) return {{-1}, UnpackOutcome::Of(UnpackStatus::kPayloadMissing)};
    RecordingSink sink;
    FilePayloadSource source(payload.get());
    UnpackOutcome outcome = UnpackPayload(sink, targetDir, source);
    return {sink.positions, outcome};
}

// What is left below `folder` of the unpacker's temporaries (none, after any run that returned).
std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : tfs::List(folder)) {
        std::string path = tfs::Join(folder, name);
        if (tfs::IsDirectory(path)) {
            for (const std::string& inner : Temporaries(path)) found.push_back(inner);
        } else if (name.find(".partial") != std::string::npos) {
            found.push_back(path);
        }
    }
    return found;
}

class UnpackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch = tfs::MakeScratchDirectory("unpack");
        ASSERT_FALSE(scratch.empty());
        target = tfs::Join(scratch, "Target");
    }
    void TearDown() override { tfs::RemoveScratch(scratch); }
    std::string scratch;
    std::string target;
};

}  // namespace

TEST_F(UnpackTest, WorkedExample) {
    const std::vector<unsigned char> container = {0x01, 0x00, 0x00, 0x00, 0x5C, 0x64, 0x00,
                                                  0x61, 0x2E, 0x74, 0x78, 0x74, 0x00, 0x03,
                                                  0x00, 0x00, 0x00, 0x61, 0x62, 0x63};
    EXPECT_EQ(Build({{"\\d", "a.txt", "abc"}}), container);
    Unpacked unpacked = Unpack(scratch, target, container);
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(unpacked.positions, (std::vector<int>{100}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\d\\a.txt"), Bytes("abc"));
    EXPECT_TRUE(Temporaries(target).empty());
}

TEST_F(UnpackTest, ProgressBeforeEveryEntry) {
    for (int count : {3, 200}) {
        std::vector<Entry> entries;
        for (int i = 0; i < count; ++i) entries.push_back({"\\n", std::to_string(i) + ".txt", "x"});
        std::string into = tfs::Join(scratch, "count" + std::to_string(count));
        std::vector<int> positions = Unpack(scratch, into, Build(entries)).positions;
        ASSERT_EQ(positions.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) EXPECT_EQ(positions[i], 100 * (i + 1) / count) << i;
        EXPECT_EQ(tfs::List(into + "\\n").size(), static_cast<std::size_t>(count));
    }
}

TEST_F(UnpackTest, NoEntries) {
    // A zero or negative count touches no progress but still leaves the install directory.
    for (std::int32_t count : {0, -1}) {
        std::string into = tfs::Join(scratch, "empty" + std::to_string(count));
        Unpacked unpacked = Unpack(scratch, into, Build({}, count));
        EXPECT_TRUE(unpacked.outcome.ok());
        EXPECT_TRUE(unpacked.positions.empty());
        EXPECT_TRUE(tfs::IsDirectory(into));
        EXPECT_TRUE(tfs::List(into).empty());
    }
}

TEST_F(UnpackTest, DirectoryNames) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    Unpacked unpacked = Unpack(scratch, target,
                               Build({{"", "root.txt", "1"},
                                      {"\\", "slash.txt", "2"},
                                      {"\\a\\b\\", "deep.txt", "3"},
                                      {"\\dbl\\\\", "double.txt", "4"},
                                      {"d", "sibling.txt", "5"}}));
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(tfs::ReadBytes(target + "\\root.txt"), Bytes("1"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\slash.txt"), Bytes("2"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\a\\b\\deep.txt"), Bytes("3"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\dbl\\double.txt"), Bytes("4"));
    // Without a leading backslash the name extends the install directory's own name.
    EXPECT_EQ(tfs::ReadBytes(scratch + "\\Targetd\\sibling.txt"), Bytes("5"));
    EXPECT_TRUE(Temporaries(scratch).empty());
}

TEST_F(UnpackTest, FileNameWithSeparatorNeedsItsDirectory) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::MakeDirectory(target + "\\x"));
    EXPECT_TRUE(Unpack(scratch, target, Build({{"", "x\\a.txt", "in x"}})).outcome.ok());
    EXPECT_EQ(tfs::ReadBytes(target + "\\x\\a.txt"), Bytes("in x"));
    EXPECT_TRUE(Temporaries(target).empty());
}

TEST_F(UnpackTest, MissingParentsAreCreatedPerEntry) {
    // The install directory's parent is missing: its creation fails at first, and the first entry
    // creates every missing level.
    std::string deep = tfs::Join(scratch, "p\\q\\Target");
    EXPECT_TRUE(Unpack(scratch, deep, Build({{"\\a\\b\\", "f.txt", "z"}})).outcome.ok());
    EXPECT_EQ(tfs::ReadBytes(deep + "\\a\\b\\f.txt"), Bytes("z"));
}

TEST_F(UnpackTest, SizesAndReplacement) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::WriteText(target + "\\old.txt", "previous contents"));
    ASSERT_TRUE(tfs::WriteText(target + "\\keep.txt", "kept"));
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4096);
    Unpacked unpacked =
        Unpack(scratch, target,
               Build({{"", "old.txt", ""}, {"", "new.txt", "fresh"}, {"\\big", "big.bin", big}}));
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_TRUE(tfs::IsFile(target + "\\old.txt"));
    EXPECT_TRUE(tfs::ReadBytes(target + "\\old.txt").empty());
    EXPECT_EQ(tfs::ReadBytes(target + "\\new.txt"), Bytes("fresh"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\keep.txt"), Bytes("kept"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\big\\big.bin"), Bytes(big));
    EXPECT_TRUE(Temporaries(target).empty());
}

// The first entry that cannot be written stops the run with its path, before any file has been
// replaced: every file keeps what it held, and no temporary is left.
TEST_F(UnpackTest, AFileThatCannotBeWrittenStopsTheRunAndReplacesNothing) {
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        std::string failing;  // relative to the install directory
        // Prepares the install directory; false skips the case where the platform allows it.
        bool (*prepare)(const std::string& target);
    };
    const std::vector<Case> cases = {
        {"a folder stands where the file must go",
         {{"", "before.txt", "1"}, {"\\sub", "busy", "2"}, {"", "after.txt", "3"}},
         "\\sub\\busy",
         [](const std::string& t) {
             return tfs::MakeDirectory(t + "\\sub") && tfs::MakeDirectory(t + "\\sub\\busy") &&
                    tfs::WriteText(t + "\\sub\\busy\\inside.txt", "kept");
         }},
        {"the file is read-only",
         {{"", "before.txt", "1"}, {"", "locked.txt", "2"}, {"", "after.txt", "3"}},
         "\\locked.txt",
         [](const std::string& t) {
             return tfs::WriteText(t + "\\locked.txt", "original") &&
                    tfs::MakeReadOnly(t + "\\locked.txt");
         }},
        {"the file's folder is missing (a separator inside the file name)",
         {{"", "before.txt", "1"}, {"\\pre", "y\\missing.txt", "2"}, {"", "after.txt", "3"}},
         "\\pre\\y\\missing.txt",
         [](const std::string&) { return true; }},
        {"a file stands where a folder must go",
         {{"", "before.txt", "1"}, {"\\plain\\deeper", "f.txt", "2"}, {"", "after.txt", "3"}},
         "\\plain\\deeper\\f.txt",
         [](const std::string& t) { return tfs::WriteText(t + "\\plain", "a file"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string into = tfs::Join(scratch, "fail" + std::to_string(&c - cases.data()));
        // An earlier installation's file, which the run would have replaced first.
        ASSERT_TRUE(tfs::MakeDirectory(into));
        ASSERT_TRUE(tfs::WriteText(into + "\\before.txt", "earlier"));
        if (!c.prepare(into)) {
            std::printf("  skipped here: %s\n", c.what);
            continue;
        }
        Unpacked unpacked = Unpack(scratch, into, Build(c.entries));
        EXPECT_EQ(unpacked.outcome.status, UnpackStatus::kWriteFailed);
        EXPECT_EQ(unpacked.outcome.path, into + c.failing);
        EXPECT_EQ(unpacked.positions, (std::vector<int>{33, 66}));
        EXPECT_EQ(tfs::ReadBytes(into + "\\before.txt"), Bytes("earlier"));
        EXPECT_FALSE(tfs::IsFile(into + "\\after.txt"));
        EXPECT_TRUE(Temporaries(into).empty());
    }
    // What stood in the way is untouched.
    EXPECT_EQ(tfs::ReadBytes(tfs::Join(scratch, "fail0") + "\\sub\\busy\\inside.txt"),
              Bytes("kept"));
    if (tfs::IsFile(tfs::Join(scratch, "fail1") + "\\locked.txt")) {
        EXPECT_EQ(tfs::ReadBytes(tfs::Join(scratch, "fail1") + "\\locked.txt"), Bytes("original"));
    }
    EXPECT_EQ(tfs::ReadBytes(tfs::Join(scratch, "fail3") + "\\plain"), Bytes("a file"));
}

#ifdef _WIN32
TEST_F(UnpackTest, AFileHeldOpenByAnotherProgramStopsTheRunAndReplacesNothing) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    std::string busy = target + "\\busy.txt";
    ASSERT_TRUE(tfs::WriteText(busy, "in use"));
    // Opened without sharing, as a running program holds its own files.
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Unpacked unpacked = Unpack(scratch, target,
                               Build({{"", "busy.txt", "replacement"}, {"", "after.txt", "next"}}));
    CloseHandle(held);
    EXPECT_EQ(unpacked.outcome.status, UnpackStatus::kWriteFailed);
    EXPECT_EQ(unpacked.outcome.path, busy);
    EXPECT_EQ(unpacked.positions, (std::vector<int>{50}));
    EXPECT_EQ(tfs::ReadBytes(busy), Bytes("in use"));
    EXPECT_FALSE(tfs::IsFile(target + "\\after.txt"));
    EXPECT_TRUE(Temporaries(target).empty());
}
#endif

// A container that does not hold every entry it declares, whole, is refused before anything is
// written: not even the install directory is made.
TEST_F(UnpackTest, AContainerCutShortIsRefusedWhole) {
    const std::vector<unsigned char> whole =
        Build({{"\\d", "first.txt", "123"}, {"\\d", "a.txt", "abcdef"}});
    const std::size_t second = 4 + 3 + 10 + 4 + 3;      // where the second entry begins
    const std::size_t secondData = second + 3 + 6 + 4;  // its data
    struct Case {
        const char* what;
        std::vector<unsigned char> container;
    };
    auto cut = [&](std::size_t keep) {
        return std::vector<unsigned char>(whole.begin(),
                                          whole.begin() + static_cast<std::ptrdiff_t>(keep));
    };
    std::vector<unsigned char> oneShort = Build({{"\\d", "first.txt", "123"}}, 2);
    std::vector<unsigned char> nameTooLong =
        Build({{"", "first.txt", "1"}, {std::string(260, 'n'), "x", "2"}});
    std::vector<unsigned char> sizeOutside =
        Build({{"", "a.txt", "A"}, {"", "huge.bin", "", 0xFFFFFFFFu}});
    std::vector<unsigned char> sizePastTheEnd =
        Build({{"", "a.txt", "A"}, {"", "tail.bin", "xyz", 5u * 1024 * 1024 + 3}});
    const std::vector<Case> cases = {
        {"empty file", {}},
        {"inside the count", cut(3)},
        {"inside the directory name", cut(second + 1)},
        {"inside the file name", cut(second + 3 + 2)},
        {"inside the size field", cut(secondData - 3)},
        {"inside the data", cut(secondData + 2)},
        {"one entry short of the count, cut between entries", oneShort},
        {"a name without terminator in its window", nameTooLong},
        {"a data size of 0xFFFFFFFF", sizeOutside},
        {"a data size past the end", sizePastTheEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string into = tfs::Join(scratch, "cut" + std::to_string(&c - cases.data()));
        Unpacked unpacked = Unpack(scratch, into, c.container);
        EXPECT_EQ(unpacked.outcome.status, UnpackStatus::kPayloadCutShort);
        EXPECT_TRUE(unpacked.positions.empty());
        EXPECT_FALSE(tfs::IsDirectory(into));
    }
    // The whole container, and one with bytes after its last entry, unpack.
    std::vector<unsigned char> trailing = whole;
    trailing.insert(trailing.end(), {'x', 'y', 0, 1});
    for (const auto& container : {whole, trailing}) {
        std::string into = tfs::Join(scratch, "whole" + std::to_string(container.size()));
        Unpacked unpacked = Unpack(scratch, into, container);
        EXPECT_TRUE(unpacked.outcome.ok());
        EXPECT_EQ(unpacked.positions, (std::vector<int>{50, 100}));
        EXPECT_EQ(tfs::ReadBytes(into + "\\d\\a.txt"), Bytes("abcdef"));
    }
}

TEST_F(UnpackTest, BytesAfterTheLastCountedEntryAreNeverRead) {
    std::vector<unsigned char> trailing = Build({{"", "a.txt", "A"}, {"", "b.txt", "B"}});
    trailing[0] = 1;
    Unpacked unpacked = Unpack(scratch, target, trailing);
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(unpacked.positions, (std::vector<int>{100}));
    EXPECT_EQ(tfs::List(target), (std::vector<std::string>{"a.txt"}));
}

// Entries that would write outside the install directory, to a device, over a temporary or under
// no name at all are skipped with their progress step; the others are written.
TEST_F(UnpackTest, EntriesTheNameRulesRefuseAreSkipped) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    std::vector<Entry> entries = {
        {"\\..", "escape1.txt", "x"},
        {"\\a\\..\\..", "escape2.txt", "x"},
        {"", "..\\escape3.txt", "x"},
        {"\\ok", "../escape4.txt", "x"},
        {"\\... ", "escape5.txt", "x"},
        {"", "CON", "x"},
        {"", "nul.txt", "x"},
        {"\\aux\\sub", "a.txt", "x"},
        {"\\ok\\Com1 .log", "b.txt", "x"},
        {"", "lpt9. ", "x"},
        {"", "~setup-3.partial", "x"},
        {"\\ok", "~SETUP-12.PARTIAL", "x"},
        {"\\ok", "", "x"},
        {"\\ok", "fine.txt", "kept"},
        {"\\ok", "console.txt", "also kept"},
        {"\\ok", "com10", "kept too"},
    };
    Unpacked unpacked = Unpack(scratch, target, Build(entries));
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(unpacked.positions.size(), entries.size());
    EXPECT_EQ(unpacked.positions.back(), 100);
    EXPECT_EQ(tfs::List(scratch), (std::vector<std::string>{"Target", "payload.bin"}));
    EXPECT_EQ(tfs::List(target), (std::vector<std::string>{"ok"}));
    EXPECT_EQ(tfs::List(target + "\\ok"),
              (std::vector<std::string>{"com10", "console.txt", "fine.txt"}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\ok\\fine.txt"), Bytes("kept"));
}

TEST_F(UnpackTest, TemporariesLeftByAnAbruptEndAreCleared) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::MakeDirectory(target + "\\sub"));
    ASSERT_TRUE(tfs::WriteText(target + "\\~setup-7.partial", "half"));
    ASSERT_TRUE(tfs::WriteText(target + "\\sub\\~SETUP-0.PARTIAL", "half"));
    // Names a person gave that only look alike stay.
    ASSERT_TRUE(tfs::WriteText(target + "\\notes.partial", "mine"));
    ASSERT_TRUE(tfs::WriteText(target + "\\~setup-x.partial.txt", "mine"));
    Unpacked unpacked =
        Unpack(scratch, target, Build({{"", "a.txt", "A"}, {"\\sub", "b.txt", "B"}}));
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(tfs::List(target),
              (std::vector<std::string>{"a.txt", "notes.partial", "sub", "~setup-x.partial.txt"}));
    EXPECT_EQ(tfs::List(target + "\\sub"), (std::vector<std::string>{"b.txt"}));
}

TEST_F(UnpackTest, ALongNameInsideTheWindowIsWritten) {
    std::string name(200, 'f');
    Unpacked unpacked = Unpack(scratch, target, Build({{"", name, "ok"}}));
    EXPECT_TRUE(unpacked.outcome.ok());
    EXPECT_EQ(tfs::ReadBytes(target + "\\" + name), Bytes("ok"));
}

namespace {

std::vector<unsigned char> Cat(std::vector<unsigned char> bytes,
                               const std::vector<unsigned char>& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

}  // namespace

// A container that carries its checksums, damaged in each of the ways a download or a disk can
// damage it, over an earlier installation. Damage to names, sizes or the trailer is refused
// before anything is written; damage to an entry's data is found while that entry is copied: the
// entries before it are in place, whole; it never appears under its name (its earlier file stays),
// no temporary is left, and the run stops there.
TEST_F(UnpackTest, ADamagedContainerIsRefused) {
    const std::vector<Entry> entries = {
        {"", "first.txt", "1111"},
        {"\\sub", "second.txt", "22222"},
        {"\\sub", "third.txt", std::string(3 * 1024 * 1024 + 5, 't')},
        {"", "fourth.txt", "4444"},
    };
    const std::vector<unsigned char> plain = Build(entries);
    const std::vector<unsigned char> sealed = tpayload::BuildWithChecksums(entries);
    const std::size_t trailer = plain.size();
    const std::size_t second = 4 + 1 + 10 + 4 + 4;                          // where entry 1 begins
    const std::size_t third = second + 5 + 11 + 4 + 5;                      // entry 2
    const std::size_t fourth = third + 5 + 10 + 4 + (3 * 1024 * 1024 + 5);  // entry 3
    std::vector<Entry> otherNames = entries;
    otherNames[3].file = "Fourth.txt";
    std::vector<Entry> otherData = entries;
    otherData[2].data.back() = 'u';
    const std::map<std::string, std::string> earlier = {{"sub\\third.txt", "earlier third"},
                                                        {"keep.txt", "kept"}};
    struct Case {
        const char* what;
        std::vector<unsigned char> container;
        std::vector<int> positions;                // empty: refused before anything is written
        std::map<std::string, std::string> after;  // the whole tree after the run: as before
        std::string damagedFile;                   // the file whose entry did not match
    };
    const std::vector<Case> cases = {
        {"a byte of the first entry's data",
         Flipped(sealed, second - 2),
         {25},
         earlier,
         "\\first.txt"},
        // Found while the third entry is copied: nothing was replaced yet, so nothing is.
        {"a byte of the third entry's data, in its last piece",
         Flipped(sealed, fourth - 1),
         {25, 50, 75},
         earlier,
         "\\sub\\third.txt"},
        {"a trailer from a container with other data in the third entry",
         Cat(plain, tpayload::Trailer(otherData)),
         {25, 50, 75},
         earlier,
         "\\sub\\third.txt"},
        {"a byte of the last entry's data",
         Flipped(sealed, trailer - 1),
         {25, 50, 75, 100},
         earlier,
         "\\fourth.txt"},
        {"a byte of a file name", Flipped(sealed, second + 7), {}, earlier, ""},
        {"a byte of a directory name", Flipped(sealed, third + 2), {}, earlier, ""},
        {"a byte of a size field", Flipped(sealed, third + 15), {}, earlier, ""},
        {"a byte of the count", Flipped(sealed, 0), {}, earlier, ""},
        {"the head magic", Flipped(sealed, trailer), {}, earlier, ""},
        {"the length", Flipped(sealed, trailer + 8), {}, earlier, ""},
        {"the trailer's count", Flipped(sealed, trailer + 12), {}, earlier, ""},
        {"the headers' checksum", Flipped(sealed, trailer + 20), {}, earlier, ""},
        {"an entry's checksum", Flipped(sealed, trailer + 24 + 8 * 2), {}, earlier, ""},
        {"the trailer's own checksum", Flipped(sealed, sealed.size() - 9), {}, earlier, ""},
        {"the tail magic", Flipped(sealed, sealed.size() - 1), {}, earlier, ""},
        {"the trailer cut short",
         std::vector<unsigned char>(sealed.begin(), sealed.end() - 9),
         {},
         earlier,
         ""},
        {"the trailer cut inside its head magic",
         std::vector<unsigned char>(sealed.begin(), sealed.begin() + trailer + 2),
         {},
         earlier,
         ""},
        {"a trailer from a container of one entry",
         Cat(plain, tpayload::Trailer({entries[0]})),
         {},
         earlier,
         ""},
        {"a trailer from a container with other names",
         Cat(plain, tpayload::Trailer(otherNames)),
         {},
         earlier,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string into = tfs::Join(scratch, "damage" + std::to_string(&c - cases.data()));
        ASSERT_TRUE(tfs::MakeDirectory(into));
        ASSERT_TRUE(tfs::MakeDirectory(into + "\\sub"));
        for (const auto& [name, data] : earlier)
            ASSERT_TRUE(tfs::WriteText(into + "\\" + name, data));
        Unpacked unpacked = Unpack(scratch, into, c.container);
        EXPECT_EQ(unpacked.outcome.status, UnpackStatus::kPayloadDamaged);
        EXPECT_EQ(unpacked.outcome.path, c.damagedFile.empty() ? "" : into + c.damagedFile);
        EXPECT_EQ(unpacked.positions, c.positions);
        EXPECT_EQ(tfs::Tree(into), c.after);
        EXPECT_TRUE(Temporaries(into).empty());
    }
}

// The same entries without a trailer unpack unchecked, as every container did before checksums;
// with an intact trailer they unpack in full.
TEST_F(UnpackTest, ContainersWithAndWithoutChecksumsUnpack) {
    const std::vector<Entry> entries = {{"", "a.txt", "A"},
                                        {"\\d", "b.txt", std::string(2 * 1024 * 1024 + 3, 'b')},
                                        {"\\d", "empty.txt", ""},
                                        {"\\..", "skipped.txt", "x"}};
    std::vector<unsigned char> damagedWithoutTrailer = Build(entries);
    damagedWithoutTrailer[4 + 1 + 6 + 4] ^= 0x20;  // a.txt's data: nothing can tell
    const std::vector<std::pair<const char*, std::vector<unsigned char>>> containers = {
        {"with checksums", tpayload::BuildWithChecksums(entries)},
        {"without", Build(entries)},
        {"without, a byte of data changed", damagedWithoutTrailer},
    };
    for (std::size_t i = 0; i < containers.size(); ++i) {
        const auto& [what, container] = containers[i];
        SCOPED_TRACE(what);
        std::string into = tfs::Join(scratch, "form" + std::to_string(i));
        Unpacked unpacked = Unpack(scratch, into, container);
        EXPECT_TRUE(unpacked.outcome.ok());
        EXPECT_EQ(unpacked.positions, (std::vector<int>{25, 50, 75, 100}));
        EXPECT_EQ(tfs::Tree(into),
                  (std::map<std::string, std::string>{{"a.txt", std::string(1, container[15])},
                                                      {"d\\b.txt", entries[1].data},
                                                      {"d\\empty.txt", ""}}));
        EXPECT_TRUE(Temporaries(into).empty());
    }
}
