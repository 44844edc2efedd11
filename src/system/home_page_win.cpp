#include "system/home_page.h"

#include "system/browser_command.h"
#include "system/system_multibyte_rules.h"
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
