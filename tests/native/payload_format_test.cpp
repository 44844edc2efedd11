// Path formation, parent-reference detection and progress arithmetic of the payload container.
#include "install/payload_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PayloadFormat, DirectoryAndOutputPaths) {
    struct Case {
        const char* directoryName;
        const char* fileName;
        const char* expected;
    };
    const Case cases[] = {
        {"\\data\\skins\\", "a.bmp", "D:\\Apps\\Target\\data\\skins\\a.bmp"},
        {"\\data\\skins", "a.bmp", "D:\\Apps\\Target\\data\\skins\\a.bmp"},
        {"", "a.bmp", "D:\\Apps\\Target\\a.bmp"},
        {"\\", "a.bmp", "D:\\Apps\\Target\\a.bmp"},
        // Only one trailing separator is dropped.
        {"\\d\\\\", "a.bmp", "D:\\Apps\\Target\\d\\\\a.bmp"},
        // No leading separator: the name extends the install directory's last component.
        {"d", "a.bmp", "D:\\Apps\\Targetd\\a.bmp"},
        {"\\d", "", "D:\\Apps\\Target\\d\\"},
    };
    for (const Case& c : cases) {
        std::string directory = FormDirectoryPath("D:\\Apps\\Target", c.directoryName);
        EXPECT_EQ(FormOutputPath(directory, c.fileName), c.expected) << c.directoryName;
    }
}

TEST(PayloadFormat, ParentReferences) {
    struct Case {
        const char* name;
        bool refused;
    };
    const Case cases[] = {
        {"", false},
        {"\\data\\skins\\", false},
        {"a.txt", false},
        {".", false},
        {"\\.\\x", false},
        {"..a", false},
        {"a..", false},
        {"a..b", false},
        {"\\data\\..skin", false},
        {"..", true},
        {"\\..", true},
        {"\\a\\..\\b", true},
        {"\\a\\..\\", true},
        {"../x", true},
        {"a/../b", true},
        {"...", true},
        {".. ", true},
        {" ..", true},
        {"\\. .\\x", true},
        {"x\\..", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasParentReference(c.name), c.refused) << '"' << c.name << '"';
}

TEST(PayloadFormat, DeviceNames) {
    struct Case {
        const char* name;
        bool refused;
    };
    const Case cases[] = {
        {"CON", true},
        {"con", true},
        {"Con.txt", true},
        {"NUL.", true},
        {"nul .tar.gz", true},
        {"AUX ", true},
        {"prn.log", true},
        {"COM1", true},
        {"com9.x", true},
        {"LPT5..", true},
        {"\\data\\con\\x", true},
        {"a/CONOUT$", true},
        {"conin$.txt", true},
        {"\\ok\\Lpt1 .log", true},
        {"console", false},
        {"CON1", false},
        {"COM0", false},
        {"COM10", false},
        {"LPT", false},
        {"xcon", false},
        {"my.con", false},
        {"\\a\\b.txt", false},
        {"", false},
        {"\\", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasReservedDeviceName(c.name), c.refused) << '"' << c.name << '"';
}

TEST(PayloadFormat, TemporaryNames) {
    EXPECT_EQ(TemporaryFileName(0), "~setup-0.partial");
    EXPECT_EQ(TemporaryFileName(21474835), "~setup-21474835.partial");
    for (const char* name : {"~setup-0.partial", "~SETUP-12.Partial", "~setup-.partial"})
        EXPECT_TRUE(IsTemporaryFileName(name)) << name;
    for (const char* name : {"setup-0.partial", "~setup-0.partial.txt", "~setup.partial", "x"})
        EXPECT_FALSE(IsTemporaryFileName(name)) << name;
}

TEST(PayloadFormat, ProgressPositions) {
    EXPECT_EQ(ProgressPosition(0, 1), 100);
    std::vector<int> three;
    for (int i = 0; i < 3; ++i) three.push_back(ProgressPosition(i, 3));
    EXPECT_EQ(three, (std::vector<int>{33, 66, 100}));
    std::vector<int> twoHundred;
    for (int i = 0; i < 200; ++i) twoHundred.push_back(ProgressPosition(i, 200));
    EXPECT_EQ(std::vector<int>(twoHundred.begin(), twoHundred.begin() + 6),
              (std::vector<int>{0, 1, 1, 2, 2, 3}));
    EXPECT_EQ(twoHundred[197], 99);
    EXPECT_EQ(twoHundred[198], 99);
    EXPECT_EQ(twoHundred[199], 100);
    // At the format's limit and beyond it the arithmetic stays exact.
    EXPECT_EQ(ProgressPosition(kMaxEntryCount - 1, kMaxEntryCount), 100);
    EXPECT_EQ(ProgressPosition(0x7FFFFFFE, 0x7FFFFFFF), 100);
    EXPECT_EQ(ProgressPosition(0x3FFFFFFF, 0x7FFFFFFF), 50);
}
