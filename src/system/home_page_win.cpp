#include "system/home_page.h"

#include "system/browser_command.h"
#include "system/win_resource.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr char kHtmlOpenCommandKey[] = "htmlfile\\shell\\open\\command";
// Both the value's name and its data are read into buffers of this size.
constexpr DWORD kRegistryBuffer = 256;

// The ANSI code page's rules, as the system gives them.
class SystemMultibyteRules : public MultibyteRules {
  public:
    bool IsLeadByte(unsigned char byte) const override { return IsDBCSLeadByte(byte) != FALSE; }
    std::string ToLower(std::string_view character) const override {
        std::array<char, 2> buffer{};
        if (character.empty() || character.size() > buffer.size()) return std::string(character);
        std::memcpy(buffer.data(), character.data(), character.size());
        auto length = static_cast<int>(character.size());
        // A byte sequence the code page does not define keeps its bytes rather than turning into
        // the default character.
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, buffer.data(), length, nullptr, 0) ==
            0) {
            return std::string(character);
        }
        CharLowerBuffA(buffer.data(), static_cast<DWORD>(length));
        return std::string(buffer.data(), character.size());
    }
};

// The command line for the browser registered for HTML files, or nullopt when the registry gives
// no usable one: the key cannot be opened, its first value cannot be read (no value, or more than
// the buffer holds), or the line would not fit its 256-byte buffer.
std::optional<std::string> RegisteredBrowserCommandLine(const std::string& url) {
    UniqueRegKey root;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, nullptr, root.put()) != ERROR_SUCCESS) return std::nullopt;
    UniqueRegKey command;
    if (RegOpenKeyExA(root.get(), kHtmlOpenCommandKey, 0, KEY_ALL_ACCESS, command.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::array<char, kRegistryBuffer> name{};
    std::array<char, kRegistryBuffer> data{};
    DWORD nameLength = kRegistryBuffer;
    DWORD dataLength = kRegistryBuffer;
    DWORD type = 0;
    if (RegEnumValueA(command.get(), 0, name.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataLength) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The data is taken as text whatever its type, and may lack its terminator.
    std::size_t textLength = strnlen(data.data(), std::min<std::size_t>(dataLength, data.size()));
    return ComposeBrowserCommandLine(std::string_view(data.data(), textLength), url,
                                     SystemMultibyteRules());
}

}  // namespace

void OpenHomePage(std::string url) {
    if (url.empty()) return;
    if (std::optional<std::string> commandLine = RegisteredBrowserCommandLine(url)) {
        WinExec(commandLine->c_str(), SW_SHOW);
        return;
    }
    ShellExecuteA(nullptr, nullptr, "iexplore", url.c_str(), nullptr, SW_SHOW);
}
