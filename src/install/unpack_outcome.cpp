#include "install/unpack_outcome.h"

namespace {

constexpr std::uint64_t kMegabyte = 1024 * 1024;

}  // namespace

std::string UnpackOutcomeText(const UnpackOutcome& outcome) {
    switch (outcome.status) {
        case UnpackStatus::kDone:
            return {};
        case UnpackStatus::kPayloadMissing:
        case UnpackStatus::kPayloadCutShort:
        case UnpackStatus::kPayloadDamaged:
            // A payload cut short or damaged in transit has the same remedy as a missing one.
            return "安装失败,请重新下载新的安装包!";
        case UnpackStatus::kNoSpace: {
            std::uint64_t needed =
                outcome.bytesNeeded / kMegabyte + (outcome.bytesNeeded % kMegabyte != 0 ? 1 : 0);
            std::uint64_t free = outcome.bytesFree / kMegabyte;
            return "磁盘空间不足,安装需要 " + std::to_string(needed) + " MB,目标磁盘只剩 " +
                   std::to_string(free) + " MB 可用。\n请清理磁盘或选择其他目录后重新安装!";
        }
        case UnpackStatus::kWriteFailed:
            return "无法写入文件:\n" + outcome.path +
                   "\n请关闭正在使用该文件的程序或检查磁盘后重新安装!";
    }
    return {};
}

int UnpackOutcomeExitCode(const UnpackOutcome& outcome) {
    switch (outcome.status) {
        case UnpackStatus::kDone:
            return setup_exit::kInstalled;
        case UnpackStatus::kPayloadMissing:
        case UnpackStatus::kPayloadCutShort:
        case UnpackStatus::kPayloadDamaged:
            return setup_exit::kPayloadUnusable;
        case UnpackStatus::kNoSpace:
            return setup_exit::kNoSpace;
        case UnpackStatus::kWriteFailed:
            return setup_exit::kWriteFailed;
    }
    return setup_exit::kWriteFailed;
}
