// The payload's checksums: XXH3-64 from xxHash, computed the same way by the payload tool that
// writes a container's trailer, the reader's header pass, the unpacker and the tool's verify.
// Layout of the trailer: payload_format.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A running XXH3-64 (seed 0) over bytes given piece by piece. Movable, not copyable.
class Checksum {
  public:
    Checksum();
    ~Checksum();
    Checksum(Checksum&&) noexcept;
    Checksum& operator=(Checksum&&) noexcept;

    // Starts again from no bytes.
    void Reset();
    void Add(const void* data, std::size_t size);
    // The checksum of every byte added since the last Reset.
    std::uint64_t Value() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// XXH3-64 of `size` bytes at once.
std::uint64_t ChecksumOf(const void* data, std::size_t size);

// Adds an entry's header as the container stores it: directory name, 0x00, file name, 0x00 and
// the 4 bytes of its size field.
void AddEntryHeader(Checksum& sum, const std::string& directoryName, const std::string& fileName,
                    std::uint32_t size);

// The checksum of one entry's stored bytes: Begin with its names and size, then its data.
class EntryChecksum {
  public:
    void Begin(const std::string& directoryName, const std::string& fileName, std::uint32_t size);
    void Add(const void* data, std::size_t size) { sum_.Add(data, size); }
    std::uint64_t Value() const { return sum_.Value(); }

  private:
    Checksum sum_;
};

// Makes the trailer of a container as its entries are written: the count first (not negative),
// then for each of exactly that many entries its names and size and then its data, then Finish
// for the trailer's bytes.
class TrailerBuilder {
  public:
    explicit TrailerBuilder(std::int32_t count);

    void BeginEntry(const std::string& directoryName, const std::string& fileName,
                    std::uint32_t size);
    void AddData(const void* data, std::size_t size) { entry_.Add(data, size); }
    // The trailer for the entries given, to be written right after the last one.
    std::string Finish();

  private:
    void EndEntry();

    std::int32_t count_;
    Checksum headers_;
    EntryChecksum entry_;
    bool inEntry_ = false;
    std::vector<std::uint64_t> entries_;
};

// The 8 bytes of a checksum as the trailer stores it, and back.
std::string ChecksumBytes(std::uint64_t value);
std::uint64_t ChecksumFromBytes(const unsigned char* bytes);
