// Composing the browser's command line from the registry's HTML command, under code page 936's
// multibyte rules.
#include "system/browser_command.h"

#include "cp936_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr char kUrl[] = "http://www.quenvox.com";

}  // namespace

TEST(BrowserCommand, ComposesTheLineFromTheRegistryCommand) {
    struct Case {
        const char* name;
        std::string commandText;
        std::optional<std::string> expected;  // nullopt: no line may be composed
    };
    const std::string longDirectory(220, 'D');
    // "c:\ + fill + \b.exe" + blank + URL makes exactly 255 characters.
    const std::size_t fill = kMaxBrowserCommandLine - (4 + 7 + 1 + (sizeof kUrl - 1));
    const Case cases[] = {
        {"quoted upper-case path with an argument",
         "\"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE\" -nohome",
         "\"c:\\program files\\internet explorer\\iexplore.exe\" http://www.quenvox.com"},
        {"unquoted short path with a placeholder",
         "C:\\PROGRA~1\\MOZILL~1\\FIREFOX.EXE -url \"%1\"",
         "c:\\progra~1\\mozill~1\\firefox.exe http://www.quenvox.com"},
        {"no .exe: the whole text, placeholder unfilled", "C:\\Web\\Browser %1",
         "c:\\web\\browser %1 http://www.quenvox.com"},
        {".exe at position 0 does not count", ".EXE -x \"%1\"",
         ".exe -x \"%1\" http://www.quenvox.com"},
        {"only the first .exe decides, even at position 0", ".exe C:\\B.EXE %1",
         ".exe c:\\b.exe %1 http://www.quenvox.com"},
        {".exe inside a directory name", "\"C:\\Apps.EXE\\Web\\Browser.exe\" %1",
         "\"c:\\apps.exe\" http://www.quenvox.com"},
        {"the extension in mixed case", "c:\\web\\browser.ExE",
         "c:\\web\\browser.exe http://www.quenvox.com"},
        // B0 41 and B0 58 are whole characters: their second bytes are not the letters A and X, so
        // they are neither lower-cased byte-wise nor part of a match.
        {"trail bytes that look like capitals", "C:\\\xB0\x41\xB0\x58\\IE.EXE %1",
         "c:\\\xB0\x41\xB0\x58\\ie.exe http://www.quenvox.com"},
        // B0 2E is one character, so the ".EXE" behind the lead byte is not a match; the real
        // one follows.
        {"a trail byte that looks like a dot", "\"C:\\\xB0.EXE\\IE.EXE\" %1",
         "\"c:\\\xB0.exe\\ie.exe\" http://www.quenvox.com"},
        {"double-byte capitals lower-cased as whole characters", "C:\\\xA3\xC1\xA3\xC2\\IE.EXE",
         "c:\\\xA3\xE1\xA3\xE2\\ie.exe http://www.quenvox.com"},
        {"a lead byte that ends the text", "C:\\WEB\\IE\xB0",
         "c:\\web\\ie\xB0 http://www.quenvox.com"},
        {"an empty command text", "", " http://www.quenvox.com"},
        {"exactly 255 characters", "\"C:\\" + std::string(fill, 'W') + "\\B.EXE\" %1",
         "\"c:\\" + std::string(fill, 'w') + "\\b.exe\" http://www.quenvox.com"},
        {"one character too long", "\"C:\\" + std::string(fill + 1, 'W') + "\\B.EXE\" %1",
         std::nullopt},
        {"an over-long path", "\"C:\\" + longDirectory + "\\IEXPLORE.EXE\" -nohome", std::nullopt},
        {"an over-long text without .exe", std::string(250, 'X'), std::nullopt},
    };
    const Cp936Rules rules;
    for (const Case& c : cases) {
        std::optional<std::string> line = ComposeBrowserCommandLine(c.commandText, kUrl, rules);
        EXPECT_EQ(line, c.expected) << c.name;
        if (line) {
            EXPECT_LE(line->size(), kMaxBrowserCommandLine) << c.name;
        }
    }
}

TEST(BrowserCommand, TheUrlIsAppendedUnchanged) {
    const Cp936Rules rules;
    EXPECT_EQ(
        ComposeBrowserCommandLine("\"C:\\IE.EXE\" %1", "HTTP://Example.COM/A B?x=\"1\"", rules),
        "\"c:\\ie.exe\" HTTP://Example.COM/A B?x=\"1\"");
}
