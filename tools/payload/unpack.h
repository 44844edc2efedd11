// Unpacking a container through the installer's own unpacker.
#pragma once

#include "payload/codepage.h"
#include "payload/files.h"

#include <cstdint>
#include <string>

namespace payload_tool {

struct UnpackResult {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// Unpacks `container` into `target` (created with any missing parents) with UnpackPayload, as
// the installer would, drawing a progress bar on stderr when `showProgress`.
//
// Refused before anything is written: an entry that would land beside the target folder (a
// directory name without its leading backslash), a target the unpacker cannot name. On Linux,
// where the file system takes UTF-8, names are converted from `codePage` on the way (names not
// valid there keep their bytes); on Windows they go to the system's ANSI functions unchanged, so
// `codePage` must be the system's ANSI code page.
//
// Returns 0 when every entry was written and the container has no problem; otherwise 1 with one
// message in `error` (entries the installer skips, such as those with "..", are skipped here too,
// and the rest unpacked).
int UnpackContainer(const fs::path& container, const fs::path& target, const CodePage& codePage,
                    bool showProgress, UnpackResult& result, std::string& error);

}  // namespace payload_tool
