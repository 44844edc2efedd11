// Test fixtures for the payload container: container bytes from a list of entries, and an owner
// that records the progress positions it is given.
#pragma once

#include "install/install_owner.h"

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

class RecordingOwner : public InstallOwner {
  public:
    explicit RecordingOwner(std::string installPath = {}) : installPath_(std::move(installPath)) {}
    std::string GetInstallPath() override { return installPath_; }
    void SetProgressPos(int position) override { positions.push_back(position); }
    int GetAutoRunCheck() override { return 1; }
    void SetInstallButtonText(const char*) override {}
    void OnCancel() override {}

    std::vector<int> positions;

  private:
    std::string installPath_;
};

// Unpacks the given container bytes into `targetDir` through a real file.
std::vector<int> Unpack(const std::string& scratch, const std::string& targetDir,
                        const std::vector<unsigned char>& container);

}  // namespace tpayload
