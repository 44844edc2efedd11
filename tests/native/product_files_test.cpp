// The product file set, path formation within MAX_PATH, and cutting a path to its directory.
#include "install/product_files.h"
#include "system/path_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(JoinPath, RefusesWhatDoesNotFitRatherThanCuttingIt) {
    struct Case {
        std::size_t headLength;
        std::size_t tailLength;
        bool fits;
    };
    const Case cases[] = {
        {0, 0, true},    {10, 5, true},   {250, 9, true}, {250, 10, false}, {259, 0, true},
        {259, 1, false}, {260, 0, false}, {0, 259, true}, {0, 260, false},  {300, 0, false},
    };
    for (const Case& c : cases) {
        const std::string head(c.headLength, 'h');
        const std::string tail(c.tailLength, 't');
        std::optional<std::string> joined = JoinPath(head, tail);
        ASSERT_EQ(joined.has_value(), c.fits) << c.headLength << " + " << c.tailLength;
        if (joined) {
            EXPECT_EQ(*joined, head + tail);
        }
    }
}

TEST(ProductFilePath, FormsEachProgramBelowTheInstallDirectory) {
    struct Case {
        ProductFile file;
        const char* expected;
    };
    const Case cases[] = {
        {ProductFile::kMainProgram, "D:\\Apps\\Player\\Quenvox.exe"},
        {ProductFile::kUninstaller, "D:\\Apps\\Player\\quenunset.exe"},
        {ProductFile::kRecorder, "D:\\Apps\\Player\\QuenRecMp3.exe"},
        {ProductFile::kRepairTool, "D:\\Apps\\Player\\QuenMend.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProductFilePath("D:\\Apps\\Player", c.file), c.expected);
    }
}

TEST(ProductFilePath, DropsOnlyTheProgramsThatNoLongerFit) {
    // 246 bytes leave room for the two shorter names (12 and 13 bytes with their backslash) but
    // not for the uninstaller's (14) or the recorder's (15).
    const std::string installDir = "C:\\" + std::string(243, 'd');
    ASSERT_EQ(installDir.size(), 246u);
    EXPECT_EQ(ProductFilePath(installDir, ProductFile::kMainProgram), installDir + "\\Quenvox.exe");
    EXPECT_EQ(ProductFilePath(installDir, ProductFile::kRepairTool), installDir + "\\QuenMend.exe");
    EXPECT_EQ(ProductFilePath(installDir, ProductFile::kUninstaller), std::nullopt);
    EXPECT_EQ(ProductFilePath(installDir, ProductFile::kRecorder), std::nullopt);
}

TEST(ProductFiles, TextsAreStoredInCodePage936) {
    // 澜舟雅韵 and the uninstall entry's display name, byte for byte.
    EXPECT_EQ(std::string(kProgramGroupSuffix), "\\\xC0\xBD\xD6\xDB\xD1\xC5\xD4\xCF");
    EXPECT_EQ(std::string(kDesktopShortcut.suffix), "\\\xC0\xBD\xD6\xDB\xD1\xC5\xD4\xCF.lnk");
    EXPECT_EQ(std::string(kProductTitle),
              "\xC0\xBD\xD6\xDB\xD1\xC5\xD4\xCF\xC8\xAB\xC7\xF2\xCD\xF8\xC2\xE7\xCA\xD5\xD2\xF4"
              "\xBB\xFA"
              "Ver:2011-II Build:12019");
}

TEST(DirectoryOf, CutsAtTheLastSeparatorByteForByte) {
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\Prog\\Player\\player.exe", "C:\\Prog\\Player"},
        {"C:\\player.exe", "C:"},
        {"C:/Prog/Player/player.exe", "C:/Prog/Player"},
        {"player.exe", "player.exe"},
        {"", ""},
        {"C:\\Prog\\", "C:\\Prog"},
        {"\\player.exe", ""},
        // A backslash wins over a later slash.
        {"C:\\Prog/Player/player.exe", "C:"},
        // A value in quotes keeps its opening quote.
        {"\"D:\\Apps\\Player\\quenunset.exe\"", "\"D:\\Apps\\Player"},
        // The second byte of a double-byte character may be 0x5C; it counts as a separator.
        {"C:\\Prog\\\x95\x5C"
         "a.exe",
         "C:\\Prog\\\x95"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DirectoryOf(c.path), c.expected) << c.path;
    }
}

}  // namespace
