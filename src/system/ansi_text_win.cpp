#include "system/ansi_text_win.h"

bool AnsiPathToWide(const char* path, WidePathBuffer& out) {
    return MultiByteToWideChar(CP_ACP, 0, path, -1, out.data(), static_cast<int>(out.size())) != 0;
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return {};
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string WideToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                     0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length,
                        nullptr, nullptr);
    return ansi;
}
