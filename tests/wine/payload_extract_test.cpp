// Finding "Data.cab" beside the program and unpacking it. The program's directory is fixed per
// process, so the cases with a payload run a copy of this test program placed beside one.
#include "install/payload_extract.h"
#include "payload_builder.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kChildTargetVariable[] = "PAYLOAD_EXTRACT_CHILD_TARGET";

// Runs `program` with `arguments` and returns its exit code, or -1.
int RunAndWait(const std::string& program, const std::string& arguments) {
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// The owner of a run as ExtractPayload sees it: the target folder and the progress positions.
class PathOwner final : public InstallOwner {
  public:
    explicit PathOwner(std::string installPath) : installPath_(std::move(installPath)) {}
    std::string GetInstallPath() override { return installPath_; }
    void SetProgressPos(int position) override { positions.push_back(position); }
    int GetAutoRunCheck() override { return 1; }
    void SetInstallButtonText(const char*) override {}
    void OnCancel() override {}
    void ReportUnpackFailure(const UnpackOutcome&) override { ++reports; }

    std::vector<int> positions;
    int reports = 0;

  private:
    std::string installPath_;
};

}  // namespace

TEST(ExtractPayload, MissingContainerWritesNothingAndShowsNothing) {
    std::string scratch = wt::MakeScratchDirectory("nopayload");
    std::string target = scratch + "\\Target";
    PathOwner owner(target);
    wt::MessageBoxAnswerer answerer(IDOK);
    EXPECT_EQ(ExtractPayload(owner).status, UnpackStatus::kPayloadMissing);
    // The caller tells the user; nothing here raises a box of its own.
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(owner.reports, 0);
    EXPECT_TRUE(owner.positions.empty());
    EXPECT_FALSE(wt::DirectoryExists(target));
}

TEST(ExtractPayload, UnpacksTheContainerBesideTheProgram) {
    std::string scratch = wt::MakeScratchDirectory("withpayload");
    std::string copy = scratch + "\\copy.exe";
    ASSERT_TRUE(CopyFileA((wt::ProgramDirectory() + "payload_extract_test.exe").c_str(),
                          copy.c_str(), FALSE));
    std::vector<unsigned char> container =
        tpayload::Build({{"\\d", "a.txt", "abc"}, {"", "b.txt", "B"}});
    ASSERT_TRUE(wt::WriteFileBytes(scratch + "\\Data.cab", container));
    std::string target = scratch + "\\Target";
    ASSERT_TRUE(SetEnvironmentVariableA(kChildTargetVariable, target.c_str()));
    EXPECT_EQ(RunAndWait(copy, "--gtest_filter=ExtractPayloadChild.*"), 0);
    SetEnvironmentVariableA(kChildTargetVariable, nullptr);
    EXPECT_EQ(wt::ReadFileBytes(target + "\\d\\a.txt"),
              (std::vector<unsigned char>{'a', 'b', 'c'}));
    EXPECT_EQ(wt::ReadFileBytes(target + "\\b.txt"), (std::vector<unsigned char>{'B'}));
}

// Runs only inside the copy started above.
TEST(ExtractPayloadChild, Run) {
    const char* target = std::getenv(kChildTargetVariable);
    if (target == nullptr)
        GTEST_SKIP() << "runs only as the child of UnpacksTheContainerBesideTheProgram";
    PathOwner owner(target);
    EXPECT_TRUE(ExtractPayload(owner).ok());
    EXPECT_EQ(owner.positions, (std::vector<int>{50, 100}));
}
