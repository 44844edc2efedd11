#include "install/payload_extract.h"

#include "install/payload_unpack.h"
#include "install/product_constants.h"
#include "system/file_api.h"
#include "system/path_helpers.h"

#include <string>

UnpackOutcome ExtractPayload(InstallOwner& owner) {
    // An executable path the system cannot give in full leaves no directory to look in; a bare
    // "Data.cab" would be looked for in the current directory instead, which is not ours.
    std::string directory = GetModuleDirectory();
    UniqueFile payload;
    if (!directory.empty()) payload = fsapi::OpenFile((directory + kPayloadFileName).c_str(), "rb");
    if (!payload) return UnpackOutcome::Of(UnpackStatus::kPayloadMissing);
    FilePayloadSource source(payload.get());
    return UnpackPayload(owner, owner.GetInstallPath(), source);
}
