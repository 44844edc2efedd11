#include "shortcut_support.h"

#include "wine_test_support.h"
#include "system/ansi_text_win.h"
#include "system/win_resource.h"

#include <shlobj.h>
#include <wrl/client.h>

#include <array>
#include <cstring>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace wt {

namespace {

// The shell link object with its file interface, on a thread brought into COM by the caller.
struct LinkObject {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;

    bool Create() {
        return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IShellLinkA, &link)) &&
               SUCCEEDED(link.As(&file));
    }
    bool Save(const std::string& linkPath) {
        std::wstring wide = AnsiToWide(linkPath);
        return !wide.empty() && SUCCEEDED(file->Save(wide.c_str(), TRUE));
    }
};

std::string SpecialFolder(int csidl) {
    std::array<char, MAX_PATH> path{};
    // The path also while the folder is missing (a test may have removed it); never created here,
    // since the shell would then link it to the host's home folder.
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr,
                                SHGFP_TYPE_CURRENT, path.data()))) {
        return {};
    }
    return path.data();
}

// Little-endian fields and raw bytes, appended in file order.
class ByteWriter {
  public:
    void Uint32(std::uint32_t value) {
        const unsigned char field[4] = {
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
        Bytes(field, sizeof(field));
    }
    void Bytes(const void* data, std::size_t size) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + size);
        std::memcpy(bytes_.data() + at, data, size);
    }
    void Zeros(std::size_t count) { bytes_.resize(bytes_.size() + count, 0); }
    const std::vector<unsigned char>& bytes() const { return bytes_; }

  private:
    std::vector<unsigned char> bytes_;
};

}  // namespace

std::optional<ShortcutContents> ReadShortcut(const std::string& linkPath) {
    ScopedComInitialize com;
    LinkObject object;
    std::wstring wide = AnsiToWide(linkPath);
    if (!object.Create() || wide.empty() || FAILED(object.file->Load(wide.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    ShortcutContents contents;
    std::array<char, 1024> text{};
    WIN32_FIND_DATAA findData{};
    object.link->GetPath(text.data(), static_cast<int>(text.size()), &findData, SLGP_RAWPATH);
    contents.target = text.data();
    object.link->GetHotkey(&contents.hotkey);
    text.fill(0);
    object.link->GetWorkingDirectory(text.data(), static_cast<int>(text.size()));
    contents.workingDirectory = text.data();
    text.fill(0);
    object.link->GetArguments(text.data(), static_cast<int>(text.size()));
    contents.arguments = text.data();
    text.fill(0);
    object.link->GetDescription(text.data(), static_cast<int>(text.size()));
    contents.description = text.data();
    text.fill(0);
    object.link->GetIconLocation(text.data(), static_cast<int>(text.size()), &contents.iconIndex);
    contents.iconLocation = text.data();
    object.link->GetShowCmd(&contents.showCommand);
    return contents;
}

std::optional<std::uint32_t> ReadShortcutFlags(const std::string& linkPath) {
    std::vector<unsigned char> bytes = ReadFileBytes(linkPath);
    // Header: its size 0x4C, the link class id, then the 32-bit flags at offset 0x14.
    if (bytes.size() < 0x4C || bytes[0] != 0x4C) return std::nullopt;
    std::uint32_t flags = 0;
    std::memcpy(&flags, bytes.data() + 0x14, sizeof(flags));
    return flags;
}

bool WriteShortcut(const std::string& linkPath, const std::string& target) {
    ScopedComInitialize com;
    LinkObject object;
    return object.Create() && SUCCEEDED(object.link->SetPath(target.c_str())) &&
           object.Save(linkPath);
}

bool WriteRawShortcut(const std::string& linkPath, const std::string& localPath) {
    constexpr std::uint32_t kHasLinkInfo = 0x02;
    constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;
    constexpr std::uint32_t kDriveFixed = 3;
    ByteWriter out;
    // Shell link header.
    out.Uint32(0x4C);
    const unsigned char linkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.Bytes(linkClassId, sizeof(linkClassId));
    out.Uint32(kHasLinkInfo);
    out.Uint32(FILE_ATTRIBUTE_NORMAL);
    out.Zeros(3 * 8 + 4 + 4);  // three file times, file size, icon index
    out.Uint32(SW_SHOWNORMAL);
    out.Zeros(2 + 2 + 4 + 4);  // hotkey and reserved fields
    // Link info: a 28-byte header, a volume id with an empty label, the local base path and an
    // empty common path suffix.
    const std::uint32_t headerSize = 28;
    const std::uint32_t volumeIdSize = 17;
    const std::uint32_t volumeIdOffset = headerSize;
    const std::uint32_t localPathOffset = volumeIdOffset + volumeIdSize;
    const std::uint32_t suffixOffset =
        localPathOffset + static_cast<std::uint32_t>(localPath.size()) + 1;
    out.Uint32(suffixOffset + 1);  // link info size
    out.Uint32(headerSize);
    out.Uint32(kVolumeIdAndLocalBasePath);
    out.Uint32(volumeIdOffset);
    out.Uint32(localPathOffset);
    out.Uint32(0);  // no network location
    out.Uint32(suffixOffset);
    out.Uint32(volumeIdSize);
    out.Uint32(kDriveFixed);
    out.Uint32(0);   // serial number
    out.Uint32(16);  // label offset
    out.Zeros(1);    // empty label
    out.Bytes(localPath.c_str(), localPath.size() + 1);
    out.Zeros(1);   // empty common path suffix
    out.Uint32(0);  // no extra data
    return WriteFileBytes(linkPath, out.bytes());
}

bool WriteShortcutToComputerFolder(const std::string& linkPath) {
    ScopedComInitialize com;
    LinkObject object;
    if (!object.Create()) return false;
    UniqueItemIdList computer;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.put()))) return false;
    return SUCCEEDED(object.link->SetIDList(computer.get())) && object.Save(linkPath);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find.get(), &data));
    return names;
}

std::string DesktopFolder() {
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY);
}
std::string ProgramsFolder() {
    return SpecialFolder(CSIDL_PROGRAMS);
}

}  // namespace wt
