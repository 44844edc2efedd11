#include "payload_builder.h"

#include "install/little_endian.h"
#include "install/payload_checksum.h"

#include <array>

namespace tpayload {

namespace {

std::uint32_t SizeField(const Entry& entry) {
    return entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size()));
}

std::string TrailerOf(const std::vector<Entry>& entries) {
    TrailerBuilder builder(static_cast<std::int32_t>(entries.size()));
    for (const Entry& entry : entries) {
        builder.BeginEntry(entry.directory, entry.file, SizeField(entry));
        builder.AddData(entry.data.data(), entry.data.size());
    }
    return builder.Finish();
}

std::vector<unsigned char> AsBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

std::string Field32(std::uint32_t value) {
    std::array<unsigned char, 4> bytes = ToLittleEndian(value);
    return std::string(bytes.begin(), bytes.end());
}

std::string Container(const std::vector<Entry>& entries, std::optional<std::int32_t> count) {
    std::string bytes = Field32(
        static_cast<std::uint32_t>(count.value_or(static_cast<std::int32_t>(entries.size()))));
    for (const Entry& entry : entries) {
        bytes += entry.directory + '\0' + entry.file + '\0';
        bytes += Field32(SizeField(entry));
        bytes += entry.data;
    }
    return bytes;
}

std::string WithChecksums(const std::vector<Entry>& entries) {
    return Container(entries) + TrailerOf(entries);
}

std::vector<unsigned char> Build(const std::vector<Entry>& entries,
                                 std::optional<std::int32_t> count) {
    return AsBytes(Container(entries, count));
}

std::vector<unsigned char> Trailer(const std::vector<Entry>& entries) {
    return AsBytes(TrailerOf(entries));
}

std::vector<unsigned char> BuildWithChecksums(const std::vector<Entry>& entries) {
    return AsBytes(WithChecksums(entries));
}

}  // namespace tpayload
