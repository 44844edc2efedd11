// Opening the home page end to end: recorder stubs stand in for the browser registered under
// "htmlfile\shell\open\command" and for "iexplore", and record the command lines they get.
//
// Wine's shell starts a bare program name as a command line first, so "iexplore" is found by the
// program search: the current directory comes before the system folder (which holds Wine's own
// iexplore.exe). The recorder for "iexplore" therefore sits in the current directory.
#include "install/product_constants.h"
#include "process_support.h"
#include "system/home_page.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kCommandKey[] = "htmlfile\\shell\\open\\command";
const std::string kUrl = kHomePageUrl;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void RemoveCommandKey() {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kCommandKey);
}

// Replaces the command key by one that holds only the given values (name, text written with its
// terminator), in that order.
bool SetCommandKey(const std::vector<std::pair<std::string, std::string>>& values) {
    RemoveCommandKey();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    for (const auto& [name, text] : values) {
        ok = ok && RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

class HomePageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch = wt::MakeScratchDirectory("home");
        ASSERT_FALSE(scratch.empty());
        browser = scratch + "\\browser.exe";
        ASSERT_TRUE(wt::CopyStub("recorder_gui", browser));
        std::string cwd = scratch + "\\cwd";
        ASSERT_TRUE(CreateDirectoryA(cwd.c_str(), nullptr));
        iexplore = cwd + "\\iexplore.exe";
        ASSERT_TRUE(wt::CopyStub("recorder_gui", iexplore));
        std::array<char, MAX_PATH> previous{};
        GetCurrentDirectoryA(static_cast<DWORD>(previous.size()), previous.data());
        previousDirectory_ = previous.data();
        ASSERT_TRUE(SetCurrentDirectoryA(cwd.c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryA(previousDirectory_.c_str());
        RemoveCommandKey();
    }

    // A recorder in a folder whose name makes its quoted path, a blank and the URL exactly
    // `lineLength` characters long.
    std::string BrowserForLineOf(std::size_t lineLength) {
        const std::string tail = "\\browser.exe";
        std::size_t pathLength = lineLength - 1 - kUrl.size() - 2;
        std::string folder =
            scratch + "\\" + std::string(pathLength - scratch.size() - 1 - tail.size(), 'L');
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string path = folder + tail;
        return wt::CopyStub("recorder_gui", path) ? path : std::string();
    }

    void ForgetRecords(const std::vector<std::string>& programs) {
        for (const std::string& program : programs) DeleteFileA(wt::RecordFileOf(program).c_str());
    }

    std::string scratch;
    std::string browser;
    std::string iexplore;

  private:
    std::string previousDirectory_;
};

}  // namespace

TEST_F(HomePageTest, StartsTheRegisteredBrowserOrElseIexplore) {
    enum class Key { Removed, WithoutValue, WithValues };
    struct Case {
        const char* name;
        Key key;
        std::vector<std::pair<std::string, std::string>> values;
        std::string browser;       // the recorder expected to start, empty for "iexplore"
        std::string expectedLine;  // what it records
    };
    const std::string browserFits = BrowserForLineOf(255);
    const std::string browserTooLong = BrowserForLineOf(256);
    ASSERT_FALSE(browserFits.empty());
    ASSERT_FALSE(browserTooLong.empty());
    const std::string withoutExe = browser.substr(0, browser.size() - 4);
    const Case cases[] = {
        {"quoted upper-case path with an argument",
         Key::WithValues,
         {{"", wt::Quoted(Upper(browser)) + " -nohome"}},
         browser,
         wt::Quoted(Lower(browser)) + " " + kUrl},
        {"unquoted path with a placeholder",
         Key::WithValues,
         {{"", Upper(browser) + " %1"}},
         browser,
         Lower(browser) + " " + kUrl},
        // The whole text is the command; the system finds browser.exe for the bare name.
        {"no .exe: the placeholder stays unfilled",
         Key::WithValues,
         {{"", Upper(withoutExe) + " %1"}},
         browser,
         Lower(withoutExe) + " %1 " + kUrl},
        // Wine lists values by name, Windows as they were written: both give this order.
        {"the first value is read, whatever its name",
         Key::WithValues,
         {{"Command", wt::Quoted(browser)}, {"Other", wt::Quoted(iexplore)}},
         browser,
         wt::Quoted(Lower(browser)) + " " + kUrl},
        {"a line of exactly 255 characters",
         Key::WithValues,
         {{"", wt::Quoted(browserFits) + " %1"}},
         browserFits,
         wt::Quoted(Lower(browserFits)) + " " + kUrl},
        {"a line of 256 characters goes to the shell",
         Key::WithValues,
         {{"", wt::Quoted(browserTooLong) + " %1"}},
         "",
         kUrl},
        {"a first value longer than its buffer goes to the shell",
         Key::WithValues,
         {{"", wt::Quoted(browser) + " " + std::string(300, 'x')}},
         "",
         kUrl},
        {"a key without a value goes to the shell", Key::WithoutValue, {}, "", kUrl},
        {"no key: the shell starts iexplore", Key::Removed, {}, "", kUrl},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetRecords({browser, browserFits, browserTooLong, iexplore});
        if (c.key == Key::Removed) {
            RemoveCommandKey();
        } else {
            ASSERT_TRUE(SetCommandKey(c.values));
        }

        OpenHomePage(kUrl);

        if (!c.browser.empty()) {
            EXPECT_EQ(wt::WaitForRecordedLines(c.browser, 1),
                      std::vector<std::string>{c.expectedLine});
            EXPECT_TRUE(wt::RecordedLines(iexplore).empty());
        } else {
            std::vector<std::string> lines = wt::WaitForRecordedLines(iexplore, 1);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(wt::ArgumentsOf(lines[0]), c.expectedLine);
            for (const std::string& other : {browser, browserFits, browserTooLong}) {
                EXPECT_TRUE(wt::RecordedLines(other).empty()) << other;
            }
        }
    }
}

TEST_F(HomePageTest, AnEmptyUrlStartsNothing) {
    ASSERT_TRUE(SetCommandKey({{"", wt::Quoted(browser) + " %1"}}));
    OpenHomePage("");
    // A launch with the URL afterwards is the only one recorded.
    OpenHomePage(kUrl);
    EXPECT_EQ(wt::WaitForRecordedLines(browser, 1),
              std::vector<std::string>{wt::Quoted(Lower(browser)) + " " + kUrl});

    RemoveCommandKey();
    OpenHomePage("");
    OpenHomePage(kUrl);
    std::vector<std::string> lines = wt::WaitForRecordedLines(iexplore, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(wt::ArgumentsOf(lines[0]), kUrl);
}
