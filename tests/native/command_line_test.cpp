// The installer's command line: which switches mean what, and what /S refuses.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

TEST(SetupCommandLine, ArgumentsFollowTheProgramsOwnName) {
    EXPECT_EQ(ArgumentsOf("\"C:\\Down loads\\Setup.exe\" /S /D=D:\\Apps"), "/S /D=D:\\Apps");
    EXPECT_EQ(ArgumentsOf("Setup.exe   /NORUN  "), "/NORUN");
    EXPECT_EQ(ArgumentsOf("C:\\Setup.exe"), "");
    EXPECT_EQ(ArgumentsOf("\"C:\\no closing quote"), "");
    EXPECT_EQ(ArgumentsOf(""), "");
}

TEST(SetupCommandLine, Switches) {
    struct Case {
        const char* arguments;
        bool silent;
        bool noRun;
        bool help;
        std::optional<std::string> target;
        std::string usageError;
    };
    const Case cases[] = {
        {"", false, false, false, std::nullopt, ""},
        {"/S", true, false, false, std::nullopt, ""},
        {"/s /norun", true, true, false, std::nullopt, ""},
        {"/S /D=D:\\Program Files\\QuenVox", true, false, false, "D:\\Program Files\\QuenVox", ""},
        // /D= takes the rest of the line, switches included, and loses trailing separators.
        {"/d=E:\\My Apps\\ /S", false, false, false, "E:\\My Apps\\ /S", ""},
        {"/S /D=E:\\Apps\\\\  ", true, false, false, "E:\\Apps", ""},
        {"/S /D=\"E:\\Quoted Dir\"", true, false, false, "E:\\Quoted Dir", ""},
        {"/S /D=D:\\", true, false, false, "D:\\", ""},
        {"/?", false, false, true, std::nullopt, ""},
        {"/S /?", true, false, true, std::nullopt, ""},
        // Without /S anything not understood is ignored; with /S it is a usage error.
        {"/VERYSILENT /x", false, false, false, std::nullopt, ""},
        {"/S /VERYSILENT", true, false, false, std::nullopt, "/VERYSILENT"},
        {"/S extra /D=D:\\x", true, false, false, "D:\\x", "extra"},
        {"/S /D=", true, false, false, std::nullopt, "/D="},
        {"/S /D=   ", true, false, false, std::nullopt, "/D="},
        {"/SILENT", false, false, false, std::nullopt, ""},
        // Switches run together are no switch at all.
        {"/S/NORUN", false, false, false, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        SetupCommandLine options = ParseSetupArguments(c.arguments);
        EXPECT_EQ(options.silent, c.silent);
        EXPECT_EQ(options.noRun, c.noRun);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.targetDir, c.target);
        EXPECT_EQ(options.usageError, c.usageError);
    }
}
