// The file-system path helpers on Wine's real file system, with drive-letter paths.
#include "system/path_helpers.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

class PathHelpersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch = wt::MakeScratchDirectory("paths");
        ASSERT_FALSE(scratch.empty());
    }
    std::string scratch;
};

}  // namespace

TEST_F(PathHelpersTest, FileExists) {
    std::string readOnly = scratch + "\\ro.txt";
    std::string hidden = scratch + "\\hidden.txt";
    ASSERT_TRUE(wt::WriteFileBytes(readOnly, {'x'}));
    ASSERT_TRUE(wt::WriteFileBytes(hidden, {'x'}));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(FileExists(scratch.c_str()), 1);
    EXPECT_EQ(FileExists(readOnly.c_str()), 1);
    EXPECT_EQ(FileExists(hidden.c_str()), 1);
    EXPECT_EQ(FileExists((scratch + "\\missing").c_str()), 0);
    EXPECT_EQ(FileExists(""), 0);
}

TEST_F(PathHelpersTest, CreateDirectoryChainCreatesEveryMissingLevel) {
    std::string apps = scratch + "\\Apps";
    ASSERT_TRUE(CreateDirectoryA(apps.c_str(), nullptr));
    const std::string caller = apps + "\\Target\\data";
    EXPECT_EQ(CreateDirectoryChain(caller), 0);
    EXPECT_EQ(caller, apps + "\\Target\\data");
    EXPECT_TRUE(wt::DirectoryExists(apps + "\\Target\\data"));
    // With a trailing backslash, and once everything exists, nothing changes and nothing fails.
    EXPECT_EQ(CreateDirectoryChain(apps + "\\Target\\data\\"), 0);
    EXPECT_EQ(CreateDirectoryChain(apps + "\\Target\\data"), 0);
    EXPECT_EQ(CreateDirectoryChain("C:"), 0);
    EXPECT_EQ(CreateDirectoryChain("C:\\"), 0);
}

TEST_F(PathHelpersTest, CreateDirectoryChainOverFilesAndOddPaths) {
    std::string file = scratch + "\\file.txt";
    ASSERT_TRUE(wt::WriteFileBytes(file, {'x'}));
    // The last level exists as a file: it counts as existing.
    EXPECT_EQ(CreateDirectoryChain(file), 0);
    // A level below a file cannot be created.
    EXPECT_EQ(CreateDirectoryChain(file + "\\sub"), -1);
    // A leading backslash (network paths too) makes an empty first level: nothing is created.
    EXPECT_EQ(CreateDirectoryChain("\\lonely"), -1);
    EXPECT_EQ(CreateDirectoryChain("\\\\server\\share\\x"), -1);
    EXPECT_EQ(CreateDirectoryChain(""), -1);
    // A doubled separator: the prefix ending in the first one exists and is passed over.
    EXPECT_EQ(CreateDirectoryChain(scratch + "\\dbl\\\\inner"), 0);
    EXPECT_TRUE(wt::DirectoryExists(scratch + "\\dbl\\inner"));
}

TEST_F(PathHelpersTest, CreateDirectoryChainTreatsSlashesAsPartOfTheName) {
    std::string slashed = scratch;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    // One CreateDirectoryA call for the whole path: fine when its parent exists...
    EXPECT_EQ(CreateDirectoryChain(slashed + "/one"), 0);
    EXPECT_TRUE(wt::DirectoryExists(scratch + "\\one"));
    // ...and a failure when it does not.
    EXPECT_EQ(CreateDirectoryChain(slashed + "/two/three"), -1);
    EXPECT_FALSE(wt::DirectoryExists(scratch + "\\two"));
}

TEST_F(PathHelpersTest, CreateDirectoryChainRelativePath) {
    std::array<char, MAX_PATH> previous{};
    GetCurrentDirectoryA(static_cast<DWORD>(previous.size()), previous.data());
    ASSERT_TRUE(SetCurrentDirectoryA(scratch.c_str()));
    EXPECT_EQ(CreateDirectoryChain("a\\b"), 0);
    SetCurrentDirectoryA(previous.data());
    EXPECT_TRUE(wt::DirectoryExists(scratch + "\\a\\b"));
}

TEST(ModuleDirectory, IsTheProgramsFolderComputedOnce) {
    const char* first = GetModuleDirectory();
    EXPECT_EQ(std::string(first), wt::ProgramDirectory());
    EXPECT_EQ(std::string(first).back(), '\\');
    EXPECT_EQ(GetModuleDirectory(), first);
}
