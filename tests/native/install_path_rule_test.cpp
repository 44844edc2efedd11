// What the browse button makes of a picked folder, apart from the picker itself.
#include "ui/install_path_rule.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(InstallPathRule, AppendsTheProductFolderWithoutADoubledSeparator) {
    struct Case {
        const char* picked;
        const char* expected;
    };
    const Case cases[] = {
        {"D:\\", "D:\\QuenVox"},
        {"D:\\Games", "D:\\Games\\QuenVox"},
        {"D:\\Games\\", "D:\\Games\\QuenVox"},
        {"D:/Games/", "D:/Games/QuenVox"},
        {"\\\\server\\share", "\\\\server\\share\\QuenVox"},
        // A folder already named after the product still gets the product folder below it.
        {"E:\\QuenVox", "E:\\QuenVox\\QuenVox"},
        // Double-byte names are kept byte for byte ("音乐" in code page 936).
        {"E:\\\xD2\xF4\xC0\xD6", "E:\\\xD2\xF4\xC0\xD6\\QuenVox"},
        {"", "\\QuenVox"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InstallPathForPickedFolder(c.picked), c.expected) << c.picked;
    }
}

TEST(InstallPathRule, RefusesTheSystemDriveOnlyOnVistaAndUnknownReleases) {
    struct Case {
        int osClass;
        const char* picked;
        const char* systemDirectory;
        bool refused;
    };
    const Case cases[] = {
        // 1 Windows Vista, 0 not recognised (Windows 7 and later): the system drive is refused.
        {1, "C:\\Games", "C:\\Windows\\system32", true},
        {0, "C:\\", "C:\\Windows\\system32", true},
        {0, "D:\\Games", "C:\\Windows\\system32", false},
        // Byte-exact: another case of the letter counts as another drive.
        {0, "c:\\Games", "C:\\Windows\\system32", false},
        // A network folder begins with a backslash and is never the system drive.
        {1, "\\\\server\\share", "C:\\Windows\\system32", false},
        // Every older release accepts any folder.
        {2, "C:\\Games", "C:\\Windows\\system32", false},
        {3, "C:\\Games", "C:\\Windows\\system32", false},
        {4, "C:\\Games", "C:\\WINNT\\system32", false},
        {5, "C:\\Games", "C:\\WINNT\\system32", false},
        {6, "C:\\Games", "C:\\Windows\\system", false},
        {7, "C:\\Games", "C:\\Windows\\system", false},
        {8, "C:\\Games", "C:\\Windows\\system", false},
        // A system directory the system could not give is an empty (zeroed) buffer.
        {0, "C:\\Games", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRefusedSystemDrive(c.osClass, c.picked, c.systemDirectory), c.refused)
            << c.osClass << " " << c.picked << " " << c.systemDirectory;
    }
}

}  // namespace
