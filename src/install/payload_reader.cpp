#include "install/payload_reader.h"

#include "install/little_endian.h"
#include "install/payload_format.h"
#include "system/file_api.h"

#include <algorithm>
#include <array>
#include <cstring>

FilePayloadSource::FilePayloadSource(std::FILE* file) : file_(file), size_(fsapi::FileSize(file)) {
    if (size_ < 0) size_ = 0;
}

std::size_t FilePayloadSource::ReadAt(std::int64_t offset, void* buffer, std::size_t size) {
    if (offset < 0 || offset >= size_ || !fsapi::SeekTo(file_, offset)) return 0;
    return std::fread(buffer, 1, size, file_);
}

std::size_t MemoryPayloadSource::ReadAt(std::int64_t offset, void* buffer, std::size_t size) {
    if (offset < 0 || offset >= Size()) return 0;
    std::size_t start = static_cast<std::size_t>(offset);
    std::size_t length = std::min(size, bytes_.size() - start);
    std::memcpy(buffer, bytes_.data() + start, length);
    return length;
}

bool IsStructuralIssue(PayloadIssue issue) {
    switch (issue) {
        case PayloadIssue::kParentReference:
        case PayloadIssue::kOutsideInstallDirectory:
        case PayloadIssue::kSlashInDirectoryName:
        case PayloadIssue::kEmptyFileName:
        case PayloadIssue::kSeparatorInFileName:
        case PayloadIssue::kReservedName:
            return false;
        default:
            return true;
    }
}

bool IsDamage(PayloadIssue issue) {
    return IsStructuralIssue(issue) && issue != PayloadIssue::kTrailingBytes &&
           issue != PayloadIssue::kUncountedEntries;
}

bool IsChecksumIssue(PayloadIssue issue) {
    switch (issue) {
        case PayloadIssue::kTrailerCutShort:
        case PayloadIssue::kTrailerMagic:
        case PayloadIssue::kTrailerLength:
        case PayloadIssue::kTrailerCount:
        case PayloadIssue::kBytesAfterTrailer:
        case PayloadIssue::kTrailerChecksum:
        case PayloadIssue::kHeadersChecksum:
            return true;
        default:
            return false;
    }
}

namespace {

// The trailer is read in pieces no larger than a name window, so the reader's reads stay within
// one small bound whatever the entry count.
constexpr std::size_t kTrailerPiece = 256;

bool HoldsAt(PayloadSource& source, std::int64_t offset, std::string_view expected) {
    std::array<unsigned char, 8> bytes{};
    if (expected.size() > bytes.size()) return false;
    return source.ReadAt(offset, bytes.data(), expected.size()) == expected.size() &&
           std::memcmp(bytes.data(), expected.data(), expected.size()) == 0;
}

// The container's last bytes are a trailer's tail magic: it was not cut short.
bool EndsWithTailMagic(PayloadSource& source) {
    const std::int64_t size = source.Size();
    const auto magic = static_cast<std::int64_t>(kTrailerTailMagic.size());
    return size >= magic && HoldsAt(source, size - magic, kTrailerTailMagic);
}

}  // namespace

std::optional<std::uint64_t> TrailerChecksums::ForEntry(std::int32_t index) {
    if (index < 0 || index >= trailer_.count) return std::nullopt;
    if (first_ < 0 || index < first_ || index >= first_ + static_cast<std::int64_t>(held_)) {
        const std::int64_t wanted =
            std::min<std::int64_t>(static_cast<std::int64_t>(kPerPiece), trailer_.count - index);
        const std::size_t bytes = static_cast<std::size_t>(wanted * kChecksumSize);
        const std::int64_t offset =
            trailer_.offset + kTrailerEntriesOffset + kChecksumSize * std::int64_t{index};
        if (source_.ReadAt(offset, piece_.data(), bytes) != bytes) return std::nullopt;
        first_ = index;
        held_ = static_cast<std::size_t>(wanted);
    }
    return ChecksumFromBytes(piece_.data() +
                             static_cast<std::size_t>((index - first_) * kChecksumSize));
}

PayloadReader::PayloadReader(PayloadSource& source) : source_(source), size_(source.Size()) {
    std::array<unsigned char, 4> bytes{};
    std::size_t got = source_.ReadAt(0, bytes.data(), bytes.size());
    count_ = static_cast<std::int32_t>(FromLittleEndian<std::uint32_t>(bytes.data()));
    headers_.Add(bytes.data(), bytes.size());
    if (got < bytes.size()) {
        Note(PayloadIssue::kCountCutShort, PayloadField::kCount, -1, 0, 4,
             static_cast<std::int64_t>(got));
    } else if (count_ > kMaxEntryCount) {
        Note(PayloadIssue::kCountAboveLimit, PayloadField::kCount, -1, 0, count_, kMaxEntryCount);
    }
}

void PayloadReader::Note(PayloadIssue issue, PayloadField field, std::int64_t entry,
                         std::int64_t offset, std::int64_t declared, std::int64_t actual) {
    PayloadFinding finding{issue, field, entry, offset, declared, actual};
    if (!damage_ && IsDamage(issue)) damage_ = finding;
    if (!problem_) problem_ = finding;
}

void PayloadReader::CheckOffset(PayloadField field, std::int64_t entry, std::int64_t offset) {
    if (offset > kMaxFieldOffset) Note(PayloadIssue::kFieldBeyondLimit, field, entry, offset);
}

bool PayloadReader::ReadName(std::int64_t offset, std::string& name, bool& cutShort) {
    std::array<char, kNameWindow> window{};
    std::size_t got = source_.ReadAt(offset, window.data(), window.size());
    const char* end = static_cast<const char*>(std::memchr(window.data(), '\0', got));
    cutShort = false;
    if (end == nullptr) {
        if (got == window.size()) return false;
        // The container ends inside the name: the zero-filled window terminates it.
        cutShort = true;
        end = window.data() + got;
    }
    name.assign(window.data(), static_cast<std::size_t>(end - window.data()));
    return true;
}

void PayloadReader::CheckNames(const PayloadEntry& entry) {
    const std::string& directory = entry.directoryName;
    const std::string& file = entry.fileName;
    const std::int64_t fileOffset = entry.offset + static_cast<std::int64_t>(directory.size()) + 1;
    if (HasParentReference(directory)) {
        Note(PayloadIssue::kParentReference, PayloadField::kDirectoryName, entry.index,
             entry.offset);
    } else if (HasReservedDeviceName(directory)) {
        Note(PayloadIssue::kReservedName, PayloadField::kDirectoryName, entry.index, entry.offset);
    } else if (!directory.empty() && directory.front() != '\\') {
        Note(PayloadIssue::kOutsideInstallDirectory, PayloadField::kDirectoryName, entry.index,
             entry.offset);
    } else if (directory.find('/') != std::string::npos) {
        Note(PayloadIssue::kSlashInDirectoryName, PayloadField::kDirectoryName, entry.index,
             entry.offset);
    }
    if (HasParentReference(file)) {
        Note(PayloadIssue::kParentReference, PayloadField::kFileName, entry.index, fileOffset);
    } else if (HasReservedDeviceName(file) || IsTemporaryFileName(file)) {
        Note(PayloadIssue::kReservedName, PayloadField::kFileName, entry.index, fileOffset);
    } else if (file.empty()) {
        Note(PayloadIssue::kEmptyFileName, PayloadField::kFileName, entry.index, fileOffset);
    } else if (file.find_first_of("\\/") != std::string::npos) {
        Note(PayloadIssue::kSeparatorInFileName, PayloadField::kFileName, entry.index, fileOffset);
    }
}

bool PayloadReader::Next(PayloadEntry& entry) {
    if (done_) return false;
    if (index_ >= count_) {
        Finish();
        return false;
    }
    if (pos_ >= size_) {
        // The unpacker's walk ends here too: what follows would read empty names and write
        // nothing. Landing exactly on the end means the count promised more entries than exist;
        // beyond it, the entry before was cut short and has been noted already.
        if (pos_ == size_) {
            Note(PayloadIssue::kMissingEntries, PayloadField::kEnd, -1, pos_, count_, index_);
        }
        done_ = true;
        return false;
    }

    PayloadEntry current;
    current.index = index_;
    current.offset = pos_;
    // Each name field: an unterminated one stops the walk at this entry.
    auto readName = [&](PayloadField field, std::int64_t offset, std::string& name) {
        CheckOffset(field, index_, offset);
        bool cutShort = false;
        if (!ReadName(offset, name, cutShort)) {
            Note(PayloadIssue::kNameUnterminated, field, index_, offset);
            stoppedAt_ = current;
            stoppedField_ = field;
            done_ = true;
            return false;
        }
        if (cutShort) Note(PayloadIssue::kNameCutShort, field, index_, offset);
        return true;
    };
    if (!readName(PayloadField::kDirectoryName, pos_, current.directoryName)) return false;
    const std::int64_t fileOffset =
        pos_ + static_cast<std::int64_t>(current.directoryName.size()) + 1;
    if (!readName(PayloadField::kFileName, fileOffset, current.fileName)) return false;
    CheckNames(current);

    current.sizeOffset = fileOffset + static_cast<std::int64_t>(current.fileName.size()) + 1;
    CheckOffset(PayloadField::kDataSize, index_, current.sizeOffset);
    std::array<unsigned char, 4> sizeBytes{};
    std::size_t got = source_.ReadAt(current.sizeOffset, sizeBytes.data(), sizeBytes.size());
    current.size = FromLittleEndian<std::uint32_t>(sizeBytes.data());
    if (got < sizeBytes.size()) {
        Note(PayloadIssue::kSizeCutShort, PayloadField::kDataSize, index_, current.sizeOffset, 4,
             static_cast<std::int64_t>(got));
    }
    if (current.size > kMaxDataSize) {
        Note(PayloadIssue::kDataSizeOutsideFormat, PayloadField::kDataSize, index_,
             current.sizeOffset, current.size);
        stoppedAt_ = current;
        stoppedField_ = PayloadField::kDataSize;
        done_ = true;
        return false;
    }

    current.dataOffset = current.sizeOffset + 4;
    CheckOffset(PayloadField::kData, index_, current.dataOffset);
    std::int64_t present = std::clamp<std::int64_t>(size_ - current.dataOffset, 0, current.size);
    current.storedSize = static_cast<std::uint32_t>(present);
    if (current.storedSize < current.size) {
        Note(PayloadIssue::kDataCutShort, PayloadField::kData, index_, current.dataOffset,
             current.size, current.storedSize);
    }

    pos_ = current.dataOffset + current.size;
    ++index_;
    AddEntryHeader(headers_, current.directoryName, current.fileName, current.size);
    entry = std::move(current);
    return true;
}

bool PayloadReader::CarriesTrailer() {
    if (trailerSeen_) return true;
    // The bytes after a whole walk's last entry were examined: none, or no trailer.
    if (finished_ && !damage_) return false;
    return EndsWithTailMagic(source_);
}

void PayloadReader::Finish() {
    done_ = true;
    finished_ = true;
    const std::int64_t end = count_ > 0 ? pos_ : 4;
    if (end >= size_) return;
    if (ExamineTrailer(end)) return;
    std::int64_t extra = CountWholeEntries(end);
    if (extra > 0) {
        Note(PayloadIssue::kUncountedEntries, PayloadField::kEnd, -1, end, count_,
             std::max<std::int32_t>(count_, 0) + extra);
    } else {
        Note(PayloadIssue::kTrailingBytes, PayloadField::kEnd, -1, end, 0, size_ - end);
    }
}

bool PayloadReader::ExamineTrailer(std::int64_t end) {
    const std::int64_t after = size_ - end;
    const std::size_t headBytes = static_cast<std::size_t>(
        std::min<std::int64_t>(after, static_cast<std::int64_t>(kTrailerHeadMagic.size())));
    // A trailer cut inside its head magic still begins as one.
    if (!HoldsAt(source_, end, kTrailerHeadMagic.substr(0, headBytes)) &&
        !EndsWithTailMagic(source_)) {
        return false;
    }
    trailerSeen_ = true;
    // The length a trailer for the container's count takes.
    const std::int64_t expected = TrailerLength(std::max<std::int32_t>(count_, 0));
    auto damaged = [&](PayloadIssue issue, std::int64_t offset, std::int64_t declared,
                       std::int64_t actual) {
        Note(issue, PayloadField::kTrailer, -1, offset, declared, actual);
        return true;
    };
    std::array<unsigned char, kTrailerEntriesOffset> fixed{};
    if (after < static_cast<std::int64_t>(fixed.size()) ||
        source_.ReadAt(end, fixed.data(), fixed.size()) != fixed.size()) {
        return damaged(PayloadIssue::kTrailerCutShort, end, expected, after);
    }
    if (std::memcmp(fixed.data(), kTrailerHeadMagic.data(), kTrailerHeadMagic.size()) != 0)
        return damaged(PayloadIssue::kTrailerMagic, end, 0, 0);
    const auto count = static_cast<std::int32_t>(
        FromLittleEndian<std::uint32_t>(fixed.data() + kTrailerCountOffset));
    if (count != count_ || count < 0)
        return damaged(PayloadIssue::kTrailerCount, end + kTrailerCountOffset, count, count_);
    const std::int64_t length =
        FromLittleEndian<std::uint32_t>(fixed.data() + kTrailerLengthOffset);
    if (length != expected)
        return damaged(PayloadIssue::kTrailerLength, end + kTrailerLengthOffset, length, expected);
    if (after < length) return damaged(PayloadIssue::kTrailerCutShort, end, length, after);
    if (after > length)
        return damaged(PayloadIssue::kBytesAfterTrailer, end + length, length, after);
    const std::int64_t tail = end + length - static_cast<std::int64_t>(kTrailerTailMagic.size());
    if (!HoldsAt(source_, tail, kTrailerTailMagic))
        return damaged(PayloadIssue::kTrailerMagic, tail, 0, 0);

    // Its own checksum covers everything before it, the other checksums included.
    const std::int64_t sumOffset = tail - kChecksumSize;
    Checksum own;
    std::array<unsigned char, kTrailerPiece> piece{};
    for (std::int64_t at = end; at < sumOffset;) {
        std::size_t step =
            static_cast<std::size_t>(std::min<std::int64_t>(sumOffset - at, piece.size()));
        if (source_.ReadAt(at, piece.data(), step) != step)
            return damaged(PayloadIssue::kTrailerCutShort, at, expected, after);
        own.Add(piece.data(), step);
        at += static_cast<std::int64_t>(step);
    }
    if (source_.ReadAt(sumOffset, piece.data(), kChecksumSize) != kChecksumSize ||
        ChecksumFromBytes(piece.data()) != own.Value()) {
        return damaged(PayloadIssue::kTrailerChecksum, sumOffset, 0, 0);
    }
    if (ChecksumFromBytes(fixed.data() + kTrailerHeadersOffset) != headers_.Value())
        return damaged(PayloadIssue::kHeadersChecksum, end + kTrailerHeadersOffset, 0, 0);
    trailer_ = PayloadTrailer{end, count};
    return true;
}

std::int64_t PayloadReader::CountWholeEntries(std::int64_t offset) {
    std::int64_t entries = 0;
    bool cutShort = false;
    std::string name;
    while (offset < size_) {
        if (!ReadName(offset, name, cutShort) || cutShort) return -1;
        offset += static_cast<std::int64_t>(name.size()) + 1;
        if (!ReadName(offset, name, cutShort) || cutShort) return -1;
        offset += static_cast<std::int64_t>(name.size()) + 1;
        std::array<unsigned char, 4> sizeBytes{};
        if (source_.ReadAt(offset, sizeBytes.data(), sizeBytes.size()) < sizeBytes.size())
            return -1;
        std::uint32_t size = FromLittleEndian<std::uint32_t>(sizeBytes.data());
        if (size > kMaxDataSize) return -1;
        offset += 4 + static_cast<std::int64_t>(size);
        if (offset > size_) return -1;
        ++entries;
    }
    return entries;
}

PayloadSurvey SurveyPayload(PayloadSource& source) {
    PayloadReader reader(source);
    PayloadSurvey survey;
    PayloadEntry entry;
    while (!reader.damage() && reader.Next(entry)) survey.declaredBytes += entry.size;
    survey.whole = !reader.damage();
    survey.cutShort =
        !survey.whole && !IsChecksumIssue(reader.damage()->issue) && !reader.CarriesTrailer();
    survey.trailer = reader.trailer();
    return survey;
}
