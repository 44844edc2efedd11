// Test fixtures for the payload container: container bytes from a list of entries, and an unpack
// through a real file that records the progress positions and the outcome.
#pragma once

#include "install/progress_sink.h"
#include "install/unpack_outcome.h"

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
std::vector<unsigned char> Build(const std::vector<Entry>& entries,
                                 std::optional<std::int32_t> count = std::nullopt);

// The checksum trailer of these entries, as the payload tool writes it after the last one.
std::vector<unsigned char> Trailer(const std::vector<Entry>& entries);

// Build(entries) followed by their trailer: a container that carries its checksums.
std::vector<unsigned char> BuildWithChecksums(const std::vector<Entry>& entries);

class RecordingSink final : public ProgressSink {
  public:
    void SetProgressPos(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

struct Unpacked {
    std::vector<int> positions;
    UnpackOutcome outcome;
};

// Unpacks the given container bytes into `targetDir` through a real file ("payload.bin" in
// `scratch`).
Unpacked Unpack(const std::string& scratch, const std::string& targetDir,
                const std::vector<unsigned char>& container);

}  // namespace tpayload
