// The uninstaller's decisions that need no Windows: which paths lie inside its folder, which lines
// of the file list it acts on and which it refuses, the order in which folders are tried, when a
// registry command points into the folder, and its outcomes' messages and exit codes. Narrow
// literals are in code page 936, as the uninstaller's are.
#include "install/uninstall_plan.h"
#include "system/path_text.h"

#include "cp936_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const Cp936Rules kRules;
constexpr char kFolder[] = "D:\\Apps\\QuenVox";

TEST(PathInsideFolder, OnlyRealNamesBelowTheFolderCount) {
    struct Case {
        std::string path;
        std::string folder;
        bool inside;
    };
    const Case cases[] = {
        {"D:\\Apps\\QuenVox\\Quenvox.exe", kFolder, true},
        {"d:\\apps\\QUENVOX\\data\\skin.ini", kFolder, true},
        {"D:/Apps/QuenVox/data/skin.ini", kFolder, true},
        {"D:\\Apps\\QuenVox\\Quenvox.exe", "D:\\Apps\\QuenVox\\", true},
        {"D:\\x.txt", "D:\\", true},
        {"D:\\Apps\\QuenVox", kFolder, false},
        {"D:\\Apps\\QuenVox\\", kFolder, false},
        {"D:\\Apps\\QuenVoxOld\\Quenvox.exe", kFolder, false},
        {"D:\\Apps\\Quen\\Quenvox.exe", kFolder, false},
        {"D:\\Apps\\QuenVox\\..\\Windows\\x.dll", kFolder, false},
        {"D:\\Apps\\QuenVox\\data\\..\\..\\x", kFolder, false},
        {"D:\\Apps\\QuenVox\\.\\x", kFolder, false},
        {"D:\\Apps\\QuenVox\\...\\x", kFolder, false},
        {"D:\\Apps\\QuenVox\\. .\\x", kFolder, false},
        {"D:\\Apps\\QuenVox\\\\x", kFolder, false},
        {"D:\\Apps\\QuenVox\\x\\", kFolder, false},
        {"C:\\Apps\\QuenVox\\x", kFolder, false},
        {"\\\\server\\share\\QuenVox\\x", kFolder, false},
        {"", kFolder, false},
        {"D:\\x", "", false},
        {"\\x", "\\", false},
        // Double-byte characters compare whole: B0 5C is one character, not B0 and a backslash;
        // full-width A (A3 C1) is the capital of full-width a (A3 E1); B0 41 and B0 61 differ.
        {"D:\\\xB0\x5C\\x", "D:\\\xB0\x5C", true},
        {"D:\\\xB0\x5C\\x", "D:\\\xB0", false},
        {"D:\\\xA3\xC1\\x", "D:\\\xA3\xE1", true},
        {"D:\\\xB0\x41\\x", "D:\\\xB0\x61", false},
        {"D:\\程序\\澜舟雅韵\\x.exe", "D:\\程序\\澜舟雅韵", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsPathInsideFolder(c.path, c.folder, kRules), c.inside)
            << c.path << " in " << c.folder;
    }
}

TEST(PathInsideFolder, SameTextIgnoringCaseComparesWholeCharacters) {
    EXPECT_TRUE(SameTextIgnoringCase("QUENUNSET.EXE", "quenunset.exe", kRules));
    EXPECT_TRUE(SameTextIgnoringCase("\xA3\xC1.lst", "\xA3\xE1.LST", kRules));
    EXPECT_FALSE(SameTextIgnoringCase("\xB0\x41", "\xB0\x61", kRules));
    EXPECT_FALSE(SameTextIgnoringCase("quenunset.exe", "quenunset.ex", kRules));
    EXPECT_TRUE(SameTextIgnoringCase("", "", kRules));
}

TEST(PlanUninstall, RefusesEveryLineThatCouldReachOutsideTheFolder) {
    struct Case {
        std::string line;
        ListLineProblem problem;
    };
    const Case cases[] = {
        {"\\Windows\\system32\\x.dll", ListLineProblem::kRooted},
        {"/etc/passwd", ListLineProblem::kRooted},
        {"\\\\server\\share\\x", ListLineProblem::kRooted},
        {"C:\\Windows\\x.dll", ListLineProblem::kDriveOrStream},
        {"C:x.dll", ListLineProblem::kDriveOrStream},
        {"readme.txt:hidden", ListLineProblem::kDriveOrStream},
        {"..\\outside.txt", ListLineProblem::kParentLevel},
        {"data\\..\\..\\outside.txt", ListLineProblem::kParentLevel},
        {"data/../../outside.txt", ListLineProblem::kParentLevel},
        {"..", ListLineProblem::kParentLevel},
        {"...\\x", ListLineProblem::kParentLevel},
        {". .\\x", ListLineProblem::kParentLevel},
        {".\\x", ListLineProblem::kParentLevel},
        {"data\\\\x", ListLineProblem::kParentLevel},
        {"data\\", ListLineProblem::kParentLevel},
        {"data\\*.ini", ListLineProblem::kForbiddenCharacter},
        {"a?.txt", ListLineProblem::kForbiddenCharacter},
        {"a\tb", ListLineProblem::kForbiddenCharacter},
        {"\"x\"", ListLineProblem::kForbiddenCharacter},
        {"CON", ListLineProblem::kDeviceName},
        {"data\\nul.txt", ListLineProblem::kDeviceName},
        {"Lpt1", ListLineProblem::kDeviceName},
        {"x.", ListLineProblem::kTrailingDotOrBlank},
        {"data \\x", ListLineProblem::kTrailingDotOrBlank},
        {"broken\xB0", ListLineProblem::kBrokenCharacter},
        {std::string(250, 'n'), ListLineProblem::kTooLong},
    };
    std::string list;
    for (const Case& c : cases) list += c.line + "\r\n";
    list += "Quenvox.exe\r\n";

    UninstallPlan plan = PlanUninstall(kFolder, list, "quenunset.exe", kRules);
    EXPECT_EQ(plan.files, std::vector<std::string>{"D:\\Apps\\QuenVox\\Quenvox.exe"});
    EXPECT_TRUE(plan.folders.empty());
    ASSERT_EQ(plan.refused.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].line);
        EXPECT_EQ(plan.refused[i].number, i + 1);
        EXPECT_EQ(plan.refused[i].text, cases[i].line);
        EXPECT_EQ(plan.refused[i].problem, cases[i].problem);
    }
}

TEST(PlanUninstall, PlansTheListedFilesAndTheirFoldersDeepestFirst) {
    const std::string list =
        "QuenMend.exe\r\n"
        "QuenVox.exe\r\n"
        "quenunset.exe\r\n"
        "data\\readme.txt\r\n"
        "data\\skins\\default\\skin.ini\r\n"
        "DATA\\Skins\\night\\skin.ini\r\n"
        "\r\n"
        "数据\\乗\\电台.txt\n"  // a bare LF ends a line too; B0 5C (乗) is one character
        "Quenunset.LST\r\n"
        "last.txt";
    UninstallPlan plan = PlanUninstall(kFolder, list, "quenunset.exe", kRules);
    EXPECT_TRUE(plan.refused.empty());
    EXPECT_TRUE(plan.listsUninstaller);
    EXPECT_EQ(plan.files, (std::vector<std::string>{
                              "D:\\Apps\\QuenVox\\QuenMend.exe",
                              "D:\\Apps\\QuenVox\\QuenVox.exe",
                              "D:\\Apps\\QuenVox\\data\\readme.txt",
                              "D:\\Apps\\QuenVox\\data\\skins\\default\\skin.ini",
                              "D:\\Apps\\QuenVox\\DATA\\Skins\\night\\skin.ini",
                              "D:\\Apps\\QuenVox\\数据\\乗\\电台.txt",
                              "D:\\Apps\\QuenVox\\last.txt",
                          }));
    // Each folder once (whatever its case), every folder after the folders inside it.
    EXPECT_EQ(plan.folders, (std::vector<std::string>{
                                "D:\\Apps\\QuenVox\\data\\skins\\default",
                                "D:\\Apps\\QuenVox\\DATA\\Skins\\night",
                                "D:\\Apps\\QuenVox\\data\\skins",
                                "D:\\Apps\\QuenVox\\数据\\乗",
                                "D:\\Apps\\QuenVox\\data",
                                "D:\\Apps\\QuenVox\\数据",
                            }));
    for (const std::string& path : plan.files) {
        EXPECT_TRUE(IsPathInsideFolder(path, kFolder, kRules)) << path;
    }
    for (const std::string& path : plan.folders) {
        EXPECT_TRUE(IsPathInsideFolder(path, kFolder, kRules)) << path;
    }

    // A list without the uninstaller leaves it alone; an empty list plans nothing.
    EXPECT_FALSE(PlanUninstall(kFolder, "a.txt\r\n", "quenunset.exe", kRules).listsUninstaller);
    UninstallPlan empty = PlanUninstall(kFolder, "", "quenunset.exe", kRules);
    EXPECT_TRUE(empty.files.empty() && empty.folders.empty() && empty.refused.empty());
}

TEST(PlanUninstall, APathThatWouldPassMaxPathIsRefusedNotCut) {
    const std::string folder = "D:\\" + std::string(240, 'f');  // 243 bytes
    const std::string fits(259 - 244, 'a');                     // 243 + 1 + 15 = 259
    const std::string tooLong = fits + "b";
    UninstallPlan plan = PlanUninstall(folder, fits + "\r\n" + tooLong + "\r\n", "u.exe", kRules);
    EXPECT_EQ(plan.files, std::vector<std::string>{folder + "\\" + fits});
    ASSERT_EQ(plan.refused.size(), 1u);
    EXPECT_EQ(plan.refused[0].problem, ListLineProblem::kTooLong);
}

TEST(CommandPointsInto, TheProgramOfTheCommandMustLieInTheFolder) {
    struct Case {
        std::string command;
        bool inside;
    };
    const Case cases[] = {
        {"D:\\Apps\\QuenVox\\Quenvox.exe", true},
        {"d:\\apps\\quenvox\\QUENVOX.EXE", true},
        {"\"D:\\Apps\\QuenVox\\Quenvox.exe\" -tray", true},
        {"  D:\\Apps\\QuenVox\\Quenvox.exe  ", true},
        {"D:\\Apps\\QuenVox\\Quenvox.exe -tray", true},
        {"\"D:\\Apps\\QuenVox\\Quenvox.exe", true},
        {"D:\\Apps\\Other\\Quenvox.exe", false},
        {"\"C:\\Tools\\run.exe\" D:\\Apps\\QuenVox\\Quenvox.exe", false},
        {"D:\\Apps\\QuenVox\\..\\Other\\Quenvox.exe", false},
        {"D:\\Apps\\QuenVox", false},
        {"", false},
        {"\"\"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandPointsInto(c.command, kFolder, kRules), c.inside) << c.command;
    }
}

TEST(UninstallOutcome, OneExitCodeEachAndAMessageThatSaysWhatIsLeft) {
    std::set<int> codes;
    for (UninstallOutcome outcome :
         {UninstallOutcome::kRemoved, UninstallOutcome::kCancelled, UninstallOutcome::kIncomplete,
          UninstallOutcome::kNoFileList}) {
        codes.insert(UninstallExitCode(outcome));
    }
    EXPECT_EQ(codes.size(), 4u);
    EXPECT_EQ(UninstallExitCode(UninstallOutcome::kRemoved), 0);

    UninstallReport report;
    report.folder = kFolder;
    EXPECT_EQ(UninstallMessage(report), "澜舟雅韵已从您的计算机中删除。");
    report.folderKept = report.userFilesKept = true;
    EXPECT_EQ(UninstallMessage(report),
              "澜舟雅韵已从您的计算机中删除。\r\n\r\n安装文件夹中还有您自己的文件,"
              "因此保留了该文件夹:\r\nD:\\Apps\\QuenVox");

    report = UninstallReport{};
    report.outcome = UninstallOutcome::kCancelled;
    EXPECT_EQ(UninstallMessage(report), "");

    report.outcome = UninstallOutcome::kNoFileList;
    report.listPath = "D:\\Apps\\QuenVox\\quenunset.lst";
    EXPECT_EQ(UninstallMessage(report),
              "找不到澜舟雅韵的文件列表,没有删除任何内容:\r\nD:\\Apps\\QuenVox\\quenunset.lst");

    report = UninstallReport{};
    report.outcome = UninstallOutcome::kIncomplete;
    report.folder = kFolder;
    report.folderKept = true;
    for (int i = 0; i < 12; ++i) report.notRemoved.push_back("f" + std::to_string(i));
    report.refused.push_back({3, "..\\x", ListLineProblem::kParentLevel});
    const std::string message = UninstallMessage(report);
    EXPECT_EQ(message.rfind("澜舟雅韵未能完全删除。", 0), 0u) << message;
    EXPECT_NE(message.find("\r\nf9\r\n……另有 2 项"), std::string::npos) << message;
    EXPECT_EQ(message.find("f10"), std::string::npos) << message;
    EXPECT_NE(message.find("未予删除:\r\n..\\x"), std::string::npos) << message;
    EXPECT_NE(message.find("安装文件夹保留在:\r\nD:\\Apps\\QuenVox"), std::string::npos) << message;
}

}  // namespace
