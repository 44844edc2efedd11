// Payload containers for tests and fuzz seeds, byte for byte from a list of entries, with or
// without the checksum trailer the payload tool writes. Plain C++ without a test framework, so
// that the fuzz build links it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tpayload {

struct Entry {
    std::string directory;
    std::string file;
    std::string data;
    std::optional<std::uint32_t> declaredSize =
        std::nullopt;  // a size field other than data.size()
};

// The container's bytes: the count (the number of entries unless given) and the entries.
std::string Container(const std::vector<Entry>& entries,
                      std::optional<std::int32_t> count = std::nullopt);

// Container(entries) followed by their checksum trailer, as the payload tool writes it.
std::string WithChecksums(const std::vector<Entry>& entries);

// The four bytes of a count or size field holding `value`.
std::string Field32(std::uint32_t value);

// The same as bytes, for tests that write them through the file helpers.
std::vector<unsigned char> Build(const std::vector<Entry>& entries,
                                 std::optional<std::int32_t> count = std::nullopt);
// The checksum trailer of these entries alone.
std::vector<unsigned char> Trailer(const std::vector<Entry>& entries);
std::vector<unsigned char> BuildWithChecksums(const std::vector<Entry>& entries);

// `bytes` with one bit of the byte at `at` flipped (0x20: a letter's case), as damage.
template <typename Bytes>
Bytes Flipped(Bytes bytes, std::size_t at) {
    bytes[at] = static_cast<typename Bytes::value_type>(bytes[at] ^ 0x20);
    return bytes;
}

}  // namespace tpayload
