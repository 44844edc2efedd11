// What unpacking the payload came to, as a small value that travels up to the window that tells
// the user; and the one table of the words for each outcome.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

enum class UnpackStatus {
    kDone,             // every entry was written (or skipped by the name rules)
    kPayloadMissing,   // no container beside the installer, or it cannot be opened
    kPayloadCutShort,  // the container does not hold every entry it declares, whole
    kPayloadDamaged,   // the container's checksums do not match what it holds
    kNoSpace,          // the declared data does not fit the target volume's free space
    kWriteFailed,      // a folder or file of the installation could not be written
};

struct UnpackOutcome {
    UnpackStatus status = UnpackStatus::kDone;
    // kNoSpace: the data the payload declares, and what the volume has free for the caller.
    std::uint64_t bytesNeeded = 0;
    std::uint64_t bytesFree = 0;
    // kWriteFailed: the full path of the file that could not be written. kPayloadDamaged found
    // while unpacking: the full path of the file whose entry does not match its checksum (empty
    // when the damage was found before anything was written).
    std::string path;

    bool ok() const { return status == UnpackStatus::kDone; }

    static UnpackOutcome Of(UnpackStatus status) {
        UnpackOutcome outcome;
        outcome.status = status;
        return outcome;
    }
    static UnpackOutcome NoSpace(std::uint64_t needed, std::uint64_t free) {
        UnpackOutcome outcome = Of(UnpackStatus::kNoSpace);
        outcome.bytesNeeded = needed;
        outcome.bytesFree = free;
        return outcome;
    }
    static UnpackOutcome WriteFailed(std::string path) {
        UnpackOutcome outcome = Of(UnpackStatus::kWriteFailed);
        outcome.path = std::move(path);
        return outcome;
    }
    static UnpackOutcome Damaged(std::string path) {
        UnpackOutcome outcome = Of(UnpackStatus::kPayloadDamaged);
        outcome.path = std::move(path);
        return outcome;
    }
};

// The message that tells the user what went wrong and what to do next, in code page 936; empty
// for kDone. Sizes are given in MB: what is needed rounded up, what is free rounded down.
std::string UnpackOutcomeText(const UnpackOutcome& outcome);

// The installer's exit codes, one per outcome, the same with or without the dialog.
namespace setup_exit {
inline constexpr int kInstalled = 0;
inline constexpr int kUsage = 1;  // a switch not understood, no target, or the dialog closed
inline constexpr int kAlreadyRunning = 2;
inline constexpr int kSystemDrive = 3;
inline constexpr int kProductRunning = 4;
inline constexpr int kPayloadUnusable = 5;  // missing, cut short or damaged
inline constexpr int kNoSpace = 6;
inline constexpr int kWriteFailed = 7;
}  // namespace setup_exit

// The exit code for an unpacking outcome: kInstalled, kPayloadUnusable, kNoSpace, kWriteFailed.
int UnpackOutcomeExitCode(const UnpackOutcome& outcome);
