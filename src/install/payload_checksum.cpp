#include "install/payload_checksum.h"

#include "install/little_endian.h"
#include "install/payload_format.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <array>
#include <new>

// XXH3's output is fixed from xxHash 0.8.0 on; earlier releases may give other values.
static_assert(XXH_VERSION_NUMBER >= 800, "xxHash 0.8.0 or later is needed (libxxhash-dev)");

// xxHash's own allocation: XXH3's state is aligned to 64 bytes, and an over-aligned `new` would
// import _aligned_malloc, which the msvcrt.dll of Windows XP lacks.
struct Checksum::State {
    State() : xxh(XXH3_createState()) {
        if (xxh == nullptr) throw std::bad_alloc();
    }
    ~State() { XXH3_freeState(xxh); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    XXH3_state_t* xxh;
};

Checksum::Checksum() : state_(std::make_unique<State>()) {
    Reset();
}

Checksum::~Checksum() = default;
Checksum::Checksum(Checksum&&) noexcept = default;
Checksum& Checksum::operator=(Checksum&&) noexcept = default;

void Checksum::Reset() {
    XXH3_64bits_reset(state_->xxh);
}

void Checksum::Add(const void* data, std::size_t size) {
    if (size > 0) XXH3_64bits_update(state_->xxh, data, size);
}

std::uint64_t Checksum::Value() const {
    return XXH3_64bits_digest(state_->xxh);
}

std::uint64_t ChecksumOf(const void* data, std::size_t size) {
    return XXH3_64bits(data, size);
}

void AddEntryHeader(Checksum& sum, const std::string& directoryName, const std::string& fileName,
                    std::uint32_t size) {
    // c_str() ends with the terminator the container stores after each name.
    sum.Add(directoryName.c_str(), directoryName.size() + 1);
    sum.Add(fileName.c_str(), fileName.size() + 1);
    std::array<unsigned char, 4> sizeBytes = ToLittleEndian(size);
    sum.Add(sizeBytes.data(), sizeBytes.size());
}

void EntryChecksum::Begin(const std::string& directoryName, const std::string& fileName,
                          std::uint32_t size) {
    sum_.Reset();
    AddEntryHeader(sum_, directoryName, fileName, size);
}

std::string ChecksumBytes(std::uint64_t value) {
    std::array<unsigned char, 8> bytes = ToLittleEndian(value);
    return std::string(bytes.begin(), bytes.end());
}

std::uint64_t ChecksumFromBytes(const unsigned char* bytes) {
    return FromLittleEndian<std::uint64_t>(bytes);
}

TrailerBuilder::TrailerBuilder(std::int32_t count) : count_(count) {
    std::array<unsigned char, 4> countBytes = ToLittleEndian(static_cast<std::uint32_t>(count));
    headers_.Add(countBytes.data(), countBytes.size());
    if (count > 0) entries_.reserve(static_cast<std::size_t>(count));
}

void TrailerBuilder::EndEntry() {
    if (inEntry_) entries_.push_back(entry_.Value());
    inEntry_ = false;
}

void TrailerBuilder::BeginEntry(const std::string& directoryName, const std::string& fileName,
                                std::uint32_t size) {
    EndEntry();
    AddEntryHeader(headers_, directoryName, fileName, size);
    entry_.Begin(directoryName, fileName, size);
    inEntry_ = true;
}

std::string TrailerBuilder::Finish() {
    EndEntry();
    auto bytes32 = [](std::uint32_t value) {
        std::array<unsigned char, 4> bytes = ToLittleEndian(value);
        return std::string(bytes.begin(), bytes.end());
    };
    std::string trailer(kTrailerHeadMagic);
    trailer += bytes32(static_cast<std::uint32_t>(TrailerLength(count_)));
    trailer += bytes32(static_cast<std::uint32_t>(count_));
    trailer += ChecksumBytes(headers_.Value());
    for (std::uint64_t sum : entries_) trailer += ChecksumBytes(sum);
    trailer += ChecksumBytes(ChecksumOf(trailer.data(), trailer.size()));
    trailer += kTrailerTailMagic;
    return trailer;
}
