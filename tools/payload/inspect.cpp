#include "payload/inspect.h"

#include "install/payload_format.h"
#include "payload/names.h"

#include <algorithm>

namespace payload_tool {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

const char* FieldName(PayloadField field) {
    switch (field) {
        case PayloadField::kCount:
            return "entry count";
        case PayloadField::kDirectoryName:
            return "directory name";
        case PayloadField::kFileName:
            return "file name";
        case PayloadField::kDataSize:
            return "data size";
        case PayloadField::kData:
            return "data";
        case PayloadField::kTrailer:
            return "checksum trailer";
        case PayloadField::kEnd:
            break;
    }
    return "end";
}

std::string FindingText(const PayloadFinding& finding) {
    const std::string field = FieldName(finding.field);
    const std::string declared = std::to_string(finding.declared);
    const std::string actual = std::to_string(finding.actual);
    switch (finding.issue) {
        case PayloadIssue::kCountCutShort:
            return "the container ends inside the entry count: " + actual +
                   " of its 4 bytes are there";
        case PayloadIssue::kCountAboveLimit:
            return "the entry count " + declared + " is above the format's limit of " + actual;
        case PayloadIssue::kNameUnterminated:
            return "the " + field + " has no terminating zero within its " +
                   std::to_string(kNameWindow) + "-byte window (names hold at most " +
                   std::to_string(kMaxNameLength) + " bytes)";
        case PayloadIssue::kNameCutShort:
            return "the container ends inside the " + field;
        case PayloadIssue::kSizeCutShort:
            return "the container ends inside the data size: " + actual +
                   " of its 4 bytes are there";
        case PayloadIssue::kDataSizeOutsideFormat:
            return "the data size 0xFFFFFFFF is outside the format";
        case PayloadIssue::kDataCutShort:
            return "data cut short: " + declared + " bytes declared, " + actual + " there";
        case PayloadIssue::kFieldBeyondLimit:
            return "the " + field + " begins beyond the format's limit of 2 GiB";
        case PayloadIssue::kMissingEntries:
            return "the entry count says " + declared + ", but only " +
                   CountOf(static_cast<std::uint64_t>(finding.actual), "entry is", "entries are") +
                   " stored";
        case PayloadIssue::kUncountedEntries:
            return "the entry count says " + declared + ", but " +
                   CountOf(static_cast<std::uint64_t>(finding.actual), "entry is", "entries are") +
                   " stored";
        case PayloadIssue::kTrailingBytes:
            return actual + " bytes after the last entry";
        case PayloadIssue::kParentReference:
            return "the " + field + " holds a parent reference (..); the installer skips the entry";
        case PayloadIssue::kOutsideInstallDirectory:
            return "the directory name does not begin with a backslash, so the installer would "
                   "write "
                   "it beside the install directory (install directory + name) instead of inside "
                   "it";
        case PayloadIssue::kSlashInDirectoryName:
            return "the directory name holds a slash; the installer separates levels with "
                   "backslashes only";
        case PayloadIssue::kEmptyFileName:
            return "the file name is empty; the installer cannot write it";
        case PayloadIssue::kSeparatorInFileName:
            return "the file name holds a path separator; the installer writes it only where "
                   "that folder exists already";
        case PayloadIssue::kReservedName:
            return "the " + field +
                   " is a Windows device name (CON, NUL, COM1, ...) or has the form of the "
                   "installer's temporary files (~setup-N.partial); the installer skips the entry";
        case PayloadIssue::kTrailerCutShort:
            return "the checksum trailer is cut short: it takes " + declared + " bytes, " + actual +
                   " are there";
        case PayloadIssue::kTrailerMagic:
            return std::string("the checksum trailer's magic is wrong (it begins with \"") +
                   std::string(kTrailerHeadMagic) + "\" and ends with \"" +
                   std::string(kTrailerTailMagic) + "\")";
        case PayloadIssue::kTrailerCount:
            return "the checksum trailer is for " + declared +
                   (finding.declared == 1 ? " entry" : " entries") + ", but the entry count says " +
                   actual;
        case PayloadIssue::kTrailerLength:
            return "the checksum trailer's length field says " + declared +
                   " bytes, but a trailer of this count takes " + actual;
        case PayloadIssue::kBytesAfterTrailer:
            return actual + " bytes follow the last entry, but the checksum trailer there takes " +
                   declared;
        case PayloadIssue::kTrailerChecksum:
            return "the checksum trailer does not match its own checksum";
        case PayloadIssue::kHeadersChecksum:
            return "the entries' names and sizes do not match their checksum in the trailer";
    }
    return "unknown problem";
}

std::string Where(std::int64_t entry, const std::string& path, std::int64_t offset) {
    std::string where;
    if (entry >= 0)
        where = "entry " + std::to_string(entry) + (path.empty() ? "" : " (" + path + ")") + " ";
    return where + "at offset " + std::to_string(offset) + ": ";
}

std::vector<std::string> Levels(const std::string& utf8) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        std::size_t end = std::min(utf8.find('\\', start), utf8.size());
        std::string level = utf8.substr(start, end - start);
        if (!level.empty() && level != ".") levels.push_back(level);
        start = end + 1;
    }
    return levels;
}

// Checks one entry's names in the code page; the first problem, if any.
std::optional<Problem> CheckNames(const PayloadEntry& entry, const CodePage& codePage,
                                  NameCollisions& collisions) {
    const std::string path = EntryPath(entry, codePage);
    const std::string cp = "code page " + std::to_string(codePage.number());
    struct Name {
        const std::string& bytes;
        const char* field;
        std::int64_t offset;
    };
    const Name names[] = {
        {entry.directoryName, "directory name", entry.offset},
        {entry.fileName, "file name",
         entry.offset + static_cast<std::int64_t>(entry.directoryName.size()) + 1},
    };
    std::vector<std::string> utf8;
    for (const Name& name : names) {
        auto fail = [&](const std::string& text) {
            return Problem{
                entry.index, name.offset, false,
                Where(entry.index, path, name.offset) + "the " + name.field + " " + text};
        };
        std::optional<std::string> text = codePage.ToUtf8(name.bytes);
        if (!text) return fail("is not valid in " + cp);
        if (std::count(name.bytes.begin(), name.bytes.end(), '\\') !=
            std::count(text->begin(), text->end(), '\\')) {
            return fail(
                "holds the byte 0x5C inside a character, which the installer takes for a "
                "backslash");
        }
        for (const std::string& level : Levels(*text)) {
            std::string problem = WindowsNameProblem(level);
            if (!problem.empty())
                return fail(
                    std::string("\"").append(Printable(level)).append("\": ").append(problem));
        }
        utf8.push_back(std::move(*text));
    }
    std::string problem;
    if (!collisions.Add(Levels(utf8[0]), utf8[1],
                        "entry " + std::to_string(entry.index) + " (" + path + ")", problem)) {
        return Problem{entry.index, entry.offset, false,
                       Where(entry.index, path, entry.offset) + problem};
    }
    return std::nullopt;
}

}  // namespace

std::string CountOf(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string DisplayName(std::string_view bytes, const CodePage& codePage) {
    std::optional<std::string> text = codePage.ToUtf8(bytes);
    if (text) return Printable(*text);
    std::string escaped;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            escaped.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            escaped.append(hex);
        }
    }
    return escaped;
}

std::string EntryPath(const PayloadEntry& entry, const CodePage& codePage) {
    return FormOutputPath(FormDirectoryPath("", DisplayName(entry.directoryName, codePage)),
                          DisplayName(entry.fileName, codePage));
}

std::string EntryLabel(const PayloadEntry& entry, const CodePage& codePage) {
    return "entry " + std::to_string(entry.index) + " (" + EntryPath(entry, codePage) + ")";
}

Inspection Inspect(PayloadSource& source, const CodePage& codePage) {
    Inspection inspection;
    PayloadReader reader(source);
    inspection.count = reader.count();
    NameCollisions collisions;
    std::optional<Problem> nameProblem;
    PayloadEntry entry;
    while (reader.Next(entry)) {
        inspection.declaredBytes += entry.size;
        // Names are checked until the first problem; later ones are listed all the same.
        if (!nameProblem && (!reader.problem() || reader.problem()->offset >= entry.offset)) {
            nameProblem = CheckNames(entry, codePage, collisions);
        }
        inspection.entries.push_back(std::move(entry));
    }

    inspection.stoppedAt = reader.stoppedAt();
    inspection.stoppedField = reader.stoppedField();
    // A reader's finding in words, with the entry's path where the entry was read far enough.
    auto describe = [&](const PayloadFinding& finding) {
        std::string path;
        const PayloadEntry* concerned = nullptr;
        if (!inspection.entries.empty() && inspection.entries.back().index == finding.entry) {
            concerned = &inspection.entries.back();
        } else if (reader.stoppedAt() && reader.stoppedAt()->index == finding.entry &&
                   finding.field != PayloadField::kDirectoryName &&
                   finding.field != PayloadField::kFileName) {
            concerned = &*reader.stoppedAt();
        }
        if (concerned != nullptr) path = EntryPath(*concerned, codePage);
        return Problem{finding.entry, finding.offset, IsStructuralIssue(finding.issue),
                       Where(finding.entry, path, finding.offset) + FindingText(finding)};
    };
    const std::optional<PayloadFinding>& finding = reader.problem();
    if (finding && (!nameProblem || finding->offset <= nameProblem->offset)) {
        inspection.problem = describe(*finding);
    } else if (nameProblem) {
        inspection.problem = nameProblem;
    }
    if (reader.damage()) inspection.damage = describe(*reader.damage());
    inspection.checksums = reader.CarriesTrailer();
    inspection.trailer = reader.trailer();
    return inspection;
}

std::optional<Problem> CheckEntryChecksums(PayloadSource& source, const Inspection& inspection,
                                           const CodePage& codePage) {
    if (!inspection.trailer) return std::nullopt;
    TrailerChecksums checksums(source, *inspection.trailer);
    EntryChecksum sum;
    std::vector<char> chunk(kCopyChunk);
    for (const PayloadEntry& entry : inspection.entries) {
        std::optional<std::uint64_t> expected = checksums.ForEntry(entry.index);
        sum.Begin(entry.directoryName, entry.fileName, entry.size);
        bool whole = true;
        for (std::uint64_t done = 0; whole && done < entry.size;) {
            std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(entry.size - done, chunk.size()));
            whole = source.ReadAt(entry.dataOffset + static_cast<std::int64_t>(done), chunk.data(),
                                  step) == step;
            sum.Add(chunk.data(), step);
            done += step;
        }
        if (!whole || !expected || sum.Value() != *expected) {
            return Problem{entry.index, entry.offset, true,
                           Where(entry.index, EntryPath(entry, codePage), entry.offset) +
                               "checksum mismatch: the entry's names, size or data are not "
                               "the bytes it was packed with"};
        }
    }
    return std::nullopt;
}

}  // namespace payload_tool
