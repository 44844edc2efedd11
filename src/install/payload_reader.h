// Reading the payload container the way UnpackPayload walks it, its checksum trailer included,
// and noting where a container departs from the format or would not unpack as written. Portable
// and read-only: used by the payload tool, the fuzz target and any check made before unpacking.
#pragma once

#include "install/payload_checksum.h"
#include "install/payload_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

// Random access to a container's bytes.
class PayloadSource {
  public:
    // Size of the container in bytes.
    virtual std::int64_t Size() = 0;
    // Reads up to `size` bytes at `offset` into `buffer` and returns how many were read: fewer at
    // the end of the container, none past it.
    virtual std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) = 0;

  protected:
    ~PayloadSource() = default;
};

// A container in an open stream (binary read mode); the caller keeps ownership of the stream.
class FilePayloadSource final : public PayloadSource {
  public:
    explicit FilePayloadSource(std::FILE* file);
    std::int64_t Size() override { return size_; }
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override;

  private:
    std::FILE* file_;
    std::int64_t size_;
};

// A container held in memory; the bytes must outlive the source.
class MemoryPayloadSource final : public PayloadSource {
  public:
    explicit MemoryPayloadSource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override;

  private:
    std::span<const unsigned char> bytes_;
};

// One entry as the unpacker reads it.
struct PayloadEntry {
    std::int32_t index = 0;
    std::int64_t offset = 0;  // the directory name's first byte
    std::string directoryName;
    std::string fileName;
    std::int64_t sizeOffset = 0;
    std::uint32_t size = 0;  // as declared; missing bytes of the field read as zero
    std::int64_t dataOffset = 0;
    std::uint32_t storedSize = 0;  // how much of the data the container holds (at most `size`)
};

enum class PayloadIssue {
    // Structure: the container does not hold what it declares.
    kCountCutShort,          // fewer than 4 bytes of entry count
    kCountAboveLimit,        // more than kMaxEntryCount entries declared
    kNameUnterminated,       // no terminator inside the name's 260-byte window
    kNameCutShort,           // the container ends inside a name
    kSizeCutShort,           // the container ends inside a data size field
    kDataSizeOutsideFormat,  // data size 0xFFFFFFFF
    kDataCutShort,           // fewer data bytes than declared
    kFieldBeyondLimit,       // a field begins at 2 GiB or later
    kMissingEntries,         // the count declares more entries than are stored
    kUncountedEntries,       // whole entries stored after the counted ones
    kTrailingBytes,          // other bytes after the last counted entry
    // Names: the entry would not land where its names say.
    kParentReference,          // a ".." component; the unpacker skips the entry
    kOutsideInstallDirectory,  // directory name without its leading backslash: a sibling
    kSlashInDirectoryName,     // levels are separated by backslashes only
    kEmptyFileName,            // nothing can be written under an empty name
    kSeparatorInFileName,      // written only where that sub-folder happens to exist
    kReservedName,  // a device name (CON, NUL, ...) or a temporary's name; the unpacker skips it
    // Checksums: the container carries a trailer (payload_format.h) that does not hold.
    kTrailerCutShort,    // fewer bytes after the last entry than the trailer takes
    kTrailerMagic,       // the head or tail magic is wrong
    kTrailerCount,       // the trailer is for another number of entries than the container counts
    kTrailerLength,      // the length field is not the length a trailer of that count takes
    kBytesAfterTrailer,  // more bytes after the last entry than the trailer takes
    kTrailerChecksum,    // the trailer's own checksum does not match its bytes
    kHeadersChecksum,    // the entries' names and size fields do not match their checksum
};

enum class PayloadField { kCount, kDirectoryName, kFileName, kDataSize, kData, kEnd, kTrailer };

struct PayloadFinding {
    PayloadIssue issue = PayloadIssue::kTrailingBytes;
    PayloadField field = PayloadField::kEnd;
    std::int64_t entry = -1;    // index of the entry concerned; -1 for the container as a whole
    std::int64_t offset = 0;    // where the field concerned begins
    std::int64_t declared = 0;  // the count or size the container declares, where one applies
    std::int64_t actual = 0;    // what the container holds instead
};

// True for departures from the layout, after which entries cannot be listed as stored.
bool IsStructuralIssue(PayloadIssue issue);

// True when the container does not hold every entry it declares, whole and inside the format, or
// carries a checksum trailer that does not hold: the structural issues but the bytes that may
// follow the last entry. Such a container is never unpacked.
bool IsDamage(PayloadIssue issue);

// True for the findings about a checksum trailer.
bool IsChecksumIssue(PayloadIssue issue);

// A checksum trailer found whole: every check the header pass can make holds.
struct PayloadTrailer {
    std::int64_t offset = 0;  // its first byte, right after the last entry
    std::int32_t count = 0;
};

// The header pass made before anything is unpacked: every entry's names and size and the checksum
// trailer, no data.
struct PayloadSurvey {
    bool whole = false;  // no damage (IsDamage) anywhere
    // When not whole: the container ends short of what it declares (an interrupted download), as
    // opposed to holding wrong bytes: a checksum that does not hold, or a container that still ends
    // with a trailer's tail magic but whose entries do not add up.
    bool cutShort = false;
    std::optional<PayloadTrailer> trailer;  // whole and carrying checksums: each entry is verified
    std::uint64_t declaredBytes = 0;        // the data sizes, summed in 64 bits
};
PayloadSurvey SurveyPayload(PayloadSource& source);

// The entries' checksums of a trailer found whole, read a small piece at a time as the entries
// come, so that memory stays bounded whatever the count.
class TrailerChecksums {
  public:
    TrailerChecksums(PayloadSource& source, const PayloadTrailer& trailer)
        : source_(source), trailer_(trailer) {}
    // The checksum the trailer holds for entry `index`; nothing when it cannot be read.
    std::optional<std::uint64_t> ForEntry(std::int32_t index);

  private:
    static constexpr std::size_t kPerPiece = 32;
    PayloadSource& source_;
    PayloadTrailer trailer_;
    std::array<unsigned char, kPerPiece * kChecksumSize> piece_{};
    std::int64_t first_ = -1;  // the entry whose checksum begins the piece
    std::size_t held_ = 0;     // checksums in the piece
};

// Walks the entries in the order and with the reads of UnpackPayload: 260-byte name windows, size
// fields with missing bytes as zero, the same stops (a name without terminator in its window, a
// data size of 0xFFFFFFFF) and the same end (the count reached, or the next entry past the end of
// the container). Nothing but names, size fields and the checksum trailer is read; reads never
// exceed 260 bytes. Once the count is reached, the bytes after the last entry are examined: a
// checksum trailer there must hold (see payload_format.h), with the names and size fields just
// read.
class PayloadReader {
  public:
    explicit PayloadReader(PayloadSource& source);

    std::int32_t count() const { return count_; }
    std::int64_t size() const { return size_; }

    // The next entry the unpacker would write (or skip), or false when the walk is over.
    bool Next(PayloadEntry& entry);

    // The first finding in container order; final once Next has returned false.
    const std::optional<PayloadFinding>& problem() const { return problem_; }
    // The first finding that is damage (IsDamage), which problem() may hide behind a name finding.
    const std::optional<PayloadFinding>& damage() const { return damage_; }

    // When the unpacker would stop at an entry without writing it (a name without terminator, a
    // data size of 0xFFFFFFFF): that entry as far as it was read, with the field it stopped at.
    const std::optional<PayloadEntry>& stoppedAt() const { return stoppedAt_; }
    PayloadField stoppedField() const { return stoppedField_; }

    // Whether the container carries a checksum trailer, whole or not: the bytes after the last
    // entry were taken for one, or, when the entries themselves are damaged, the container ends
    // with the trailer's tail magic.
    bool CarriesTrailer();
    // The trailer, once Next has returned false, when every check of it holds.
    const std::optional<PayloadTrailer>& trailer() const { return trailer_; }

  private:
    // Reads the name at `offset` through its window; false when the window holds no terminator.
    bool ReadName(std::int64_t offset, std::string& name, bool& cutShort);
    void Note(PayloadIssue issue, PayloadField field, std::int64_t entry, std::int64_t offset,
              std::int64_t declared = 0, std::int64_t actual = 0);
    void CheckOffset(PayloadField field, std::int64_t entry, std::int64_t offset);
    void CheckNames(const PayloadEntry& entry);
    void Finish();
    // Examines the bytes from `end` to the end of the container; false when they are no trailer.
    bool ExamineTrailer(std::int64_t end);
    // Number of whole, well-formed entries from `offset` to exactly the end, or -1.
    std::int64_t CountWholeEntries(std::int64_t offset);

    PayloadSource& source_;
    std::int64_t size_ = 0;
    std::int32_t count_ = 0;
    std::int32_t index_ = 0;
    std::int64_t pos_ = 4;
    bool done_ = false;
    std::optional<PayloadFinding> problem_;
    std::optional<PayloadFinding> damage_;
    std::optional<PayloadEntry> stoppedAt_;
    PayloadField stoppedField_ = PayloadField::kEnd;
    Checksum headers_;       // of the count field and every header walked
    bool finished_ = false;  // the count was reached and the bytes after examined
    bool trailerSeen_ = false;
    std::optional<PayloadTrailer> trailer_;
};
