#include "payload_builder.h"

#include "install/payload_checksum.h"
#include "install/payload_unpack.h"
#include "test_fs.h"

#include <algorithm>
#include <cstdio>

namespace tpayload {

namespace {
void PutU32(std::vector<unsigned char>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(value >> shift));
}
}  // namespace

std::vector<unsigned char> Build(const std::vector<Entry>& entries,
                                 std::optional<std::int32_t> count) {
    std::vector<unsigned char> bytes;
    PutU32(bytes,
           static_cast<std::uint32_t>(count.value_or(static_cast<std::int32_t>(entries.size()))));
    for (const Entry& entry : entries) {
        bytes.insert(bytes.end(), entry.directory.begin(), entry.directory.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), entry.file.begin(), entry.file.end());
        bytes.push_back(0);
        PutU32(bytes, entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size())));
        bytes.insert(bytes.end(), entry.data.begin(), entry.data.end());
    }
    return bytes;
}

std::vector<unsigned char> Trailer(const std::vector<Entry>& entries) {
    TrailerBuilder builder(static_cast<std::int32_t>(entries.size()));
    for (const Entry& entry : entries) {
        builder.BeginEntry(
            entry.directory, entry.file,
            entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size())));
        builder.AddData(entry.data.data(), entry.data.size());
    }
    std::string trailer = builder.Finish();
    return {trailer.begin(), trailer.end()};
}

std::vector<unsigned char> BuildWithChecksums(const std::vector<Entry>& entries) {
    std::vector<unsigned char> bytes = Build(entries);
    std::vector<unsigned char> trailer = Trailer(entries);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

Unpacked Unpack(const std::string& scratch, const std::string& targetDir,
                const std::vector<unsigned char>& container) {
    std::string payloadPath = tfs::Join(scratch, "payload.bin");
    tfs::WriteBytes(payloadPath, container);
#ifdef _WIN32
    std::FILE* payload = std::fopen(payloadPath.c_str(), "rb");
#else
    std::string native = payloadPath;
    std::replace(native.begin(), native.end(), '\\', '/');
    std::FILE* payload = std::fopen(native.c_str(), "rb");
#endif
    if (payload == nullptr) return {{-1}, UnpackOutcome::Of(UnpackStatus::kPayloadMissing)};
    RecordingSink sink;
    FilePayloadSource source(payload);
    UnpackOutcome outcome = UnpackPayload(sink, targetDir, source);
    std::fclose(payload);
    return {sink.positions, outcome};
}

}  // namespace tpayload
