// The words the user reads for each way unpacking can end.
#include "install/unpack_outcome.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {
constexpr std::uint64_t kMiB = 1024 * 1024;
}  // namespace

TEST(UnpackOutcomeText, EachOutcome) {
    EXPECT_EQ(UnpackOutcomeText(UnpackOutcome{}), "");
    const std::string download = "安装失败,请重新下载新的安装包!";
    EXPECT_EQ(UnpackOutcomeText(UnpackOutcome::Of(UnpackStatus::kPayloadMissing)), download);
    EXPECT_EQ(UnpackOutcomeText(UnpackOutcome::Of(UnpackStatus::kPayloadCutShort)), download);
    EXPECT_EQ(UnpackOutcomeText(UnpackOutcome::Of(UnpackStatus::kPayloadDamaged)), download);
    EXPECT_EQ(UnpackOutcomeText(UnpackOutcome::WriteFailed("D:\\QuenVox\\QuenVox.exe")),
              "无法写入文件:\nD:\\QuenVox\\QuenVox.exe\n"
              "请关闭正在使用该文件的程序或检查磁盘后重新安装!");
}

TEST(UnpackOutcomeText, SpaceInMegabytes) {
    struct Case {
        std::uint64_t needed;
        std::uint64_t free;
        const char* neededText;
        const char* freeText;
    };
    // What is needed rounds up and what is free rounds down, so the two never read alike.
    const Case cases[] = {
        {16 * kMiB, 8 * kMiB, "16", "8"},
        {16 * kMiB + 1, 16 * kMiB, "17", "16"},
        {1, kMiB - 1, "1", "0"},
        {0x17FFFFEFEull, 3 * kMiB + kMiB / 2, "6144", "3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnpackOutcomeText(UnpackOutcome::NoSpace(c.needed, c.free)),
                  std::string("磁盘空间不足,安装需要 ") + c.neededText + " MB,目标磁盘只剩 " +
                      c.freeText + " MB 可用。\n请清理磁盘或选择其他目录后重新安装!");
    }
}

TEST(UnpackOutcomeExitCode, OnePerOutcome) {
    EXPECT_EQ(UnpackOutcomeExitCode(UnpackOutcome{}), 0);
    for (UnpackStatus payload : {UnpackStatus::kPayloadMissing, UnpackStatus::kPayloadCutShort,
                                 UnpackStatus::kPayloadDamaged}) {
        EXPECT_EQ(UnpackOutcomeExitCode(UnpackOutcome::Of(payload)), 5);
    }
    EXPECT_EQ(UnpackOutcomeExitCode(UnpackOutcome::NoSpace(2, 1)), 6);
    EXPECT_EQ(UnpackOutcomeExitCode(UnpackOutcome::WriteFailed("x")), 7);
}
