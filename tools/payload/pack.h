// Turning a folder into a payload container.
#pragma once

#include "payload/codepage.h"
#include "payload/files.h"
#include "payload/writer.h"

#include <string>
#include <vector>

namespace payload_tool {

struct PackedEntry {
    PlannedEntry planned;  // names in the code page
    fs::path source;       // empty for the file list, which pack makes itself
    std::string contents;  // the file list's data
    std::string relative;  // for messages: the file below the folder, '/'-separated, UTF-8
};

struct PackPlan {
    std::vector<PackedEntry> entries;  // in container order
    std::vector<std::string> warnings;
};

// Plans the container for `folder`: every regular file an entry, names converted to `codePage`,
// entries sorted by their names' bytes, directory first. False, with one message in `error`
// naming the file, for anything the installer could not write faithfully.
//
// A non-empty `fileListName` (UTF-8) adds one more top-level entry of that name, sorted in with the
// others, that holds the relative path of every other entry in container order: one line each,
// folders and file separated by backslashes, in the code page, ending in CR LF. Refused when the
// name is not a valid file name or the folder holds a file Windows would take for it.
bool PlanPack(const fs::path& folder, const CodePage& codePage, PackPlan& plan, std::string& error,
              const std::string& fileListName = {});

// The file list's data for entries in container order (see PlanPack).
std::string FileListContents(const std::vector<PackedEntry>& entries);

// Writes the planned container to `output` through a file beside it, renamed into place only
// when complete, with the checksum trailer unless `checksums` is false. False, with `error`, if
// any step fails; `output` is then left as it was.
bool WritePack(const PackPlan& plan, const fs::path& output, bool checksums, std::string& error);

}  // namespace payload_tool
