// Unpacking containers into a real directory tree: natively and, in the Windows build, under Wine.
#include "payload_builder.h"
#include "test_fs.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

using tpayload::Build;
using tpayload::Entry;
using tpayload::Unpack;

namespace {

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
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
    EXPECT_EQ(Unpack(scratch, target, container), (std::vector<int>{100}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\d\\a.txt"), Bytes("abc"));
}

TEST_F(UnpackTest, ProgressBeforeEveryEntry) {
    for (int count : {3, 200}) {
        std::vector<Entry> entries;
        for (int i = 0; i < count; ++i) entries.push_back({"\\n", std::to_string(i) + ".txt", "x"});
        std::string into = tfs::Join(scratch, "count" + std::to_string(count));
        std::vector<int> positions = Unpack(scratch, into, Build(entries));
        ASSERT_EQ(positions.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) EXPECT_EQ(positions[i], 100 * (i + 1) / count) << i;
        EXPECT_EQ(tfs::List(into + "\\n").size(), static_cast<std::size_t>(count));
    }
}

TEST_F(UnpackTest, NoEntries) {
    // A zero or negative count touches no progress but still leaves the install directory.
    for (const auto& container : {Build({}, 0), Build({}, -1), std::vector<unsigned char>{}}) {
        std::string into = tfs::Join(scratch, "empty" + std::to_string(tfs::List(scratch).size()));
        EXPECT_TRUE(Unpack(scratch, into, container).empty());
        EXPECT_TRUE(tfs::IsDirectory(into));
        EXPECT_TRUE(tfs::List(into).empty());
    }
}

TEST_F(UnpackTest, DirectoryNames) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::MakeDirectory(target + "\\pre"));
    Unpack(scratch, target,
           Build({{"", "root.txt", "1"},
                  {"\\", "slash.txt", "2"},
                  {"\\a\\b\\", "deep.txt", "3"},
                  {"\\dbl\\\\", "double.txt", "4"},
                  {"d", "sibling.txt", "5"},
                  {"\\pre", "x\\inner.txt", "6"},
                  {"\\pre", "y\\missing.txt", "7"}}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\root.txt"), Bytes("1"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\slash.txt"), Bytes("2"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\a\\b\\deep.txt"), Bytes("3"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\dbl\\double.txt"), Bytes("4"));
    // Without a leading backslash the name extends the install directory's own name.
    EXPECT_EQ(tfs::ReadBytes(scratch + "\\Targetd\\sibling.txt"), Bytes("5"));
    // Only the entry's directory is created, not one named inside the file name.
    EXPECT_FALSE(tfs::IsFile(target + "\\pre\\y\\missing.txt"));
    EXPECT_FALSE(tfs::IsDirectory(target + "\\pre\\y"));
}

TEST_F(UnpackTest, FileNameWithSeparatorNeedsItsDirectory) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::MakeDirectory(target + "\\x"));
    Unpack(scratch, target, Build({{"", "x\\a.txt", "in x"}}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\x\\a.txt"), Bytes("in x"));
}

TEST_F(UnpackTest, MissingParentsAreCreatedPerEntry) {
    // The install directory's parent is missing: its creation fails at first, and the first entry
    // creates every missing level.
    std::string deep = tfs::Join(scratch, "p\\q\\Target");
    Unpack(scratch, deep, Build({{"\\a\\b\\", "f.txt", "z"}}));
    EXPECT_EQ(tfs::ReadBytes(deep + "\\a\\b\\f.txt"), Bytes("z"));
}

TEST_F(UnpackTest, SizesAndReplacement) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::WriteText(target + "\\old.txt", "previous contents"));
    ASSERT_TRUE(tfs::WriteText(target + "\\keep.txt", "kept"));
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4096);
    Unpack(scratch, target,
           Build({{"", "old.txt", ""}, {"", "new.txt", "fresh"}, {"\\big", "big.bin", big}}));
    EXPECT_TRUE(tfs::IsFile(target + "\\old.txt"));
    EXPECT_TRUE(tfs::ReadBytes(target + "\\old.txt").empty());
    EXPECT_EQ(tfs::ReadBytes(target + "\\new.txt"), Bytes("fresh"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\keep.txt"), Bytes("kept"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\big\\big.bin"), Bytes(big));
}

TEST_F(UnpackTest, ReadOnlyOutputKeepsItsContents) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    ASSERT_TRUE(tfs::WriteText(target + "\\locked.txt", "original"));
    if (!tfs::MakeReadOnly(target + "\\locked.txt"))
        GTEST_SKIP() << "read-only files are writable here";
    std::vector<int> positions = Unpack(
        scratch, target, Build({{"", "locked.txt", "replacement"}, {"", "after.txt", "next"}}));
    EXPECT_EQ(positions, (std::vector<int>{50, 100}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\locked.txt"), Bytes("original"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\after.txt"), Bytes("next"));
}

#ifdef _WIN32
TEST_F(UnpackTest, OutputHeldOpenByAnotherProgramKeepsItsContents) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    std::string busy = target + "\\busy.txt";
    ASSERT_TRUE(tfs::WriteText(busy, "in use"));
    // Opened without sharing, as a running program holds its own files.
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<int> positions = Unpack(
        scratch, target, Build({{"", "busy.txt", "replacement"}, {"", "after.txt", "next"}}));
    CloseHandle(held);
    EXPECT_EQ(positions, (std::vector<int>{50, 100}));
    EXPECT_EQ(tfs::ReadBytes(busy), Bytes("in use"));
    EXPECT_EQ(tfs::ReadBytes(target + "\\after.txt"), Bytes("next"));
}
#endif

TEST_F(UnpackTest, TruncatedContainers) {
    const std::vector<unsigned char> whole = Build({{"\\d", "a.txt", "abcdef"}});
    struct Case {
        const char* what;
        std::size_t keep;
        const char* file;  // relative to the install directory, or null
        std::vector<unsigned char> contents;
    };
    const std::size_t dataStart = 4 + 3 + 6 + 4;
    const std::vector<Case> cases = {
        // Inside the data: the file gets its declared size, zero-filled.
        {"inside data", dataStart + 2, "\\d\\a.txt", {'a', 'b', 0, 0, 0, 0}},
        // Inside the size field: the missing high-order bytes read as zero (size 6 still).
        {"inside size", dataStart - 3, "\\d\\a.txt", {0, 0, 0, 0, 0, 0}},
        // Inside the file name: whatever bytes are there form the name; the size reads as 0.
        {"inside file name", 4 + 3 + 2, "\\d\\a.", {}},
    };
    for (const Case& c : cases) {
        std::string into = tfs::Join(scratch, std::string("cut") + std::to_string(c.keep));
        std::vector<unsigned char> cut(whole.begin(),
                                       whole.begin() + static_cast<std::ptrdiff_t>(c.keep));
        EXPECT_EQ(Unpack(scratch, into, cut), (std::vector<int>{100})) << c.what;
        EXPECT_EQ(tfs::ReadBytes(into + c.file), c.contents) << c.what;
        EXPECT_TRUE(tfs::IsFile(into + c.file)) << c.what;
    }
}

TEST_F(UnpackTest, DeclaredSizeBeyondTheEndIsZeroFilledInChunks) {
    std::vector<unsigned char> container = Build({{"", "tail.bin", "xyz", 5u * 1024 * 1024 + 3}});
    Unpack(scratch, target, container);
    std::vector<unsigned char> expected(5u * 1024 * 1024 + 3, 0);
    expected[0] = 'x';
    expected[1] = 'y';
    expected[2] = 'z';
    EXPECT_EQ(tfs::ReadBytes(target + "\\tail.bin"), expected);
}

TEST_F(UnpackTest, CountBeyondStoredEntriesAndTrailingBytes) {
    std::vector<unsigned char> container = Build({{"", "one.txt", "1"}}, 4);
    std::vector<int> positions = Unpack(scratch, target, container);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 25);
    EXPECT_EQ(positions.back(), 100);
    EXPECT_EQ(tfs::List(target), (std::vector<std::string>{"one.txt"}));

    // Bytes after the last counted entry are never read.
    std::string other = tfs::Join(scratch, "trailing");
    std::vector<unsigned char> trailing = Build({{"", "a.txt", "A"}, {"", "b.txt", "B"}});
    trailing[0] = 1;
    EXPECT_EQ(Unpack(scratch, other, trailing), (std::vector<int>{100}));
    EXPECT_EQ(tfs::List(other), (std::vector<std::string>{"a.txt"}));
}

TEST_F(UnpackTest, ParentReferencesAreSkipped) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    std::vector<int> positions = Unpack(scratch, target,
                                        Build({{"\\..", "escape1.txt", "x"},
                                               {"\\a\\..\\..", "escape2.txt", "x"},
                                               {"", "..\\escape3.txt", "x"},
                                               {"\\ok", "../escape4.txt", "x"},
                                               {"\\... ", "escape5.txt", "x"},
                                               {"\\ok", "fine.txt", "kept"}}));
    EXPECT_EQ(positions, (std::vector<int>{16, 33, 50, 66, 83, 100}));
    EXPECT_EQ(tfs::List(scratch), (std::vector<std::string>{"Target", "payload.bin"}));
    EXPECT_EQ(tfs::List(target), (std::vector<std::string>{"ok"}));
    EXPECT_EQ(tfs::ReadBytes(target + "\\ok\\fine.txt"), Bytes("kept"));
}

TEST_F(UnpackTest, StopsAtDataOutsideTheFormat) {
    ASSERT_TRUE(tfs::MakeDirectory(target));
    // A name that fills its whole 260-byte window has no terminator: nothing past it is trusted.
    std::vector<unsigned char> longName =
        Build({{"", "first.txt", "1"}, {std::string(260, 'n'), "x", "2"}, {"", "third.txt", "3"}});
    EXPECT_EQ(Unpack(scratch, target, longName), (std::vector<int>{33, 66}));
    EXPECT_EQ(tfs::List(target), (std::vector<std::string>{"first.txt"}));

    // A size of 0xFFFFFFFF lies outside the format: the walk ends before writing anything for it.
    std::string other = tfs::Join(scratch, "huge");
    Unpack(scratch, other,
           Build({{"", "a.txt", "A"}, {"", "huge.bin", "", 0xFFFFFFFFu}, {"", "c.txt", "C"}}));
    EXPECT_EQ(tfs::List(other), (std::vector<std::string>{"a.txt"}));

    // A 259-byte name is inside the format.
    std::string limit = tfs::Join(scratch, "limit");
    EXPECT_EQ(Unpack(scratch, limit, Build({{"", std::string(200, 'f'), "ok"}})),
              (std::vector<int>{100}));
    EXPECT_EQ(tfs::ReadBytes(limit + "\\" + std::string(200, 'f')), Bytes("ok"));
}
