#include "install/payload_extract.h"

#include "framework/message_box.h"
#include "install/payload_unpack.h"
#include "install/product_constants.h"
#include "system/file_api.h"
#include "system/path_helpers.h"

#include <memory>
#include <string>

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
}  // namespace

bool ExtractPayload(InstallOwner& owner) {
    // An executable path the system cannot give in full leaves no directory to look in; a bare
    // "Data.cab" would be looked for in the current directory instead, which is not ours.
    std::string directory = GetModuleDirectory();
    std::unique_ptr<std::FILE, FileCloser> payload;
    if (!directory.empty())
        payload.reset(fsapi::OpenFile((directory + kPayloadFileName).c_str(), "rb"));
    if (!payload) {
        AfxMessageBox("安装失败,请重新下载新的安装包!", MB_OK);
        return false;
    }
    UnpackPayload(owner, owner.GetInstallPath(), payload.get());
    return true;
}
