// Unpacking the payload container into the install directory.
#pragma once

#include "install/payload_reader.h"
#include "install/progress_sink.h"
#include "install/unpack_outcome.h"

#include <cstdint>
#include <functional>
#include <string>

// What a caller other than the installer may change about an unpack.
struct UnpackHooks {
    // Turns a name as stored (a directory or file name in the code page) into the form the file
    // system takes; unset, names go to the file system unchanged, as the installer hands them on.
    std::function<std::string(const std::string&)> mapName;
    // Told the number of data bytes written so far, after each piece.
    std::function<void(std::uint64_t)> onData;
};

// True for an entry the unpacker skips whatever its data: an empty file name, a parent reference
// (".."), a device name on any level, or a file name of the temporaries' form.
bool IsSkippedByNameRules(const PayloadEntry& entry);

// Unpacks the container `payload` into `targetDir`, setting the progress position before each
// entry.
//
// Nothing is written unless the container holds every entry it declares, whole (kPayloadCutShort
// otherwise), a checksum trailer it carries holds with the entries' names and sizes
// (kPayloadDamaged otherwise), and the data it declares fits the space free on the target's volume
// (kNoSpace). Other bytes after the last entry are ignored. Entries whose names hold a parent
// reference (".."), a device name, an empty file name or the form of a temporary are skipped with
// their progress step. Every other entry is written to a temporary beside its final name, its
// bytes checked against its checksum as they are copied when the container carries a trailer;
// once all are written and on the disk, each is moved over its final name, so every file holds
// either its earlier content or the entry's whole data, whenever the run ends. The first entry
// that cannot be written (its folder cannot be made, a folder, a read-only file or a file held
// open stands in its place, the disk fails: kWriteFailed) or does not match its checksum
// (kPayloadDamaged) stops the run before anything has been replaced, with the file's path, and
// every temporary is removed. No exception leaves this function.
UnpackOutcome UnpackPayload(ProgressSink& progress, const std::string& targetDir,
                            PayloadSource& payload, const UnpackHooks& hooks = {});
