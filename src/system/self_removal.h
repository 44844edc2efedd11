// Removing a running program's own file, which the system keeps while the program runs: a copy of
// the program in the temporary folder waits for the program to end, deletes its file and then its
// folder when that is empty, and is deleted in turn when it ends, since the copy's file is opened
// for deletion on close and only the copy process holds that handle. Works from Windows XP on,
// without a restart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The first argument of the copy's command line.
inline constexpr char kSelfRemovalSwitch[] = "/remove-after";

struct SelfRemovalRequest {
    std::uint64_t process = 0;  // handle of the program's process, inherited by the copy
    std::string path;           // the program's file
};

// The copy's arguments: the switch, the handle in decimal, the path in quotes.
std::string SelfRemovalArguments(const SelfRemovalRequest& request);
// The request that `arguments` (after the program's name) make, or nothing when they are not one.
std::optional<SelfRemovalRequest> ParseSelfRemovalArguments(
    const std::vector<std::string>& arguments);

// Windows only. Starts the copy for the running program's own file. True when it runs; false
// when the copy could not be made or started, and then nothing is left behind.
bool StartSelfRemoval();

// Windows only: the copy's work. Waits for the process to end, deletes its file (trying for a few
// seconds while the system lets go of the image), then removes the file's folder when it is
// empty. 0 when the file is gone, 1 otherwise.
int RunSelfRemoval(const SelfRemovalRequest& request);
