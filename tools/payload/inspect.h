// Checking and listing a payload container.
#pragma once

#include "install/payload_reader.h"
#include "payload/codepage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace payload_tool {

// The first problem of a container: where it lies and what it is, in words.
struct Problem {
    std::int64_t entry = -1;  // -1 for the container as a whole
    std::int64_t offset = 0;
    bool structural = true;  // the container does not hold what it declares
    std::string text;        // "entry 3 (\d\a.txt) at offset 17: ..."
};

struct Inspection {
    std::int32_t count = 0;
    std::vector<PayloadEntry> entries;  // as the unpacker walks them
    std::uint64_t declaredBytes = 0;    // the sum of their sizes
    std::optional<Problem> problem;
    // The first damage (the container does not hold every entry it declares, whole): the
    // installer then unpacks nothing. Set after a whole walk; `problem` may name something earlier.
    std::optional<Problem> damage;
    // The entry the unpacker would stop at, as far as it was read, and the field it stops at.
    std::optional<PayloadEntry> stoppedAt;
    PayloadField stoppedField = PayloadField::kEnd;
    // The container carries a checksum trailer (whole or not), and the trailer when every check
    // of the header pass holds (after a whole walk).
    bool checksums = false;
    std::optional<PayloadTrailer> trailer;
};

// Walks the whole container, its checksum trailer included. Beyond the reader's findings it checks
// names in `codePage`: valid there, no 0x5C byte inside a character, every level a name Windows
// can create, and no two entries that Windows would take for the same file or folder.
Inspection Inspect(PayloadSource& source, const CodePage& codePage);

// Reads the data of every entry listed and checks it against its checksum in the trailer, as the
// installer does while unpacking; the first entry that does not match, or nothing (also when the
// container carries no whole trailer).
std::optional<Problem> CheckEntryChecksums(PayloadSource& source, const Inspection& inspection,
                                           const CodePage& codePage);

// "\d\a.txt": where the entry lands below the install directory, for messages.
std::string EntryPath(const PayloadEntry& entry, const CodePage& codePage);

// "entry 3 (\d\a.txt)".
std::string EntryLabel(const PayloadEntry& entry, const CodePage& codePage);

// "1 entry", "2 entries".
std::string CountOf(std::uint64_t count, const char* one, const char* many);

// A name for display: converted to UTF-8, or its bytes with \xNN escapes when not valid.
std::string DisplayName(std::string_view bytes, const CodePage& codePage);

}  // namespace payload_tool
