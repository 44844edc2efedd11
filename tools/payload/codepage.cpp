#include "payload/codepage.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace payload_tool {

#ifdef _WIN32

struct CodePage::Converters {};

namespace {

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                     static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), length);
    return wide;
}

std::optional<std::string> WideToCodePage(unsigned codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    // Best-fit mappings and default characters would change a name silently; UTF-8 takes
    // neither flag nor the default-character report (and every text converted here came from
    // a valid conversion, so it holds no lone surrogate).
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(),
                        length, nullptr, usedDefaultOut);
    if (usedDefault) return std::nullopt;
    return text;
}

std::optional<std::wstring> CodePageToWide(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                        static_cast<int>(bytes.size()), wide.data(), length);
    return wide;
}

}  // namespace

std::optional<CodePage> CodePage::Open(unsigned number) {
    if (!IsValidCodePage(number)) return std::nullopt;
    return CodePage(number, std::make_unique<Converters>());
}

std::optional<std::string> CodePage::FromUtf8(std::string_view utf8) const {
    std::optional<std::wstring> wide = Utf8ToWide(utf8);
    if (!wide) return std::nullopt;
    std::optional<std::string> text = WideToCodePage(number_, *wide);
    if (!text || ToUtf8(*text) != std::string(utf8)) return std::nullopt;
    return text;
}

std::optional<std::string> CodePage::ToUtf8(std::string_view bytes) const {
    std::optional<std::wstring> wide = CodePageToWide(number_, bytes);
    if (!wide) return std::nullopt;
    return WideToCodePage(CP_UTF8, *wide);
}

#else

namespace {

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using UniqueIconv = std::unique_ptr<void, IconvCloser>;

UniqueIconv OpenIconv(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return UniqueIconv(handle);
}

std::optional<std::string> Convert(void* handle, std::string_view input) {
    iconv_t converter = static_cast<iconv_t>(handle);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> in(input.begin(), input.end());
    std::string output(input.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = output.data();
    std::size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno != E2BIG) return std::nullopt;
        std::size_t used = output.size() - outLeft;
        output.resize(output.size() * 2);
        outPtr = output.data() + used;
        outLeft = output.size() - used;
    }
    // Flush a stateful encoding's shift sequence, if any.
    if (iconv(converter, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
}

std::string IconvName(unsigned number) {
    if (number == 65001) return "UTF-8";
    return "CP" + std::to_string(number);
}

}  // namespace

struct CodePage::Converters {
    UniqueIconv fromUtf8;
    UniqueIconv toUtf8;
};

std::optional<CodePage> CodePage::Open(unsigned number) {
    auto converters = std::make_unique<Converters>();
    std::string name = IconvName(number);
    converters->fromUtf8 = OpenIconv(name.c_str(), "UTF-8");
    converters->toUtf8 = OpenIconv("UTF-8", name.c_str());
    if (!converters->fromUtf8 || !converters->toUtf8) return std::nullopt;
    return CodePage(number, std::move(converters));
}

std::optional<std::string> CodePage::FromUtf8(std::string_view utf8) const {
    // iconv would pass some invalid sequences through for UTF-8 targets: validate first.
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (!DecodeUtf8(utf8, pos)) return std::nullopt;
    }
    std::optional<std::string> text = Convert(converters_->fromUtf8.get(), utf8);
    if (!text || ToUtf8(*text) != std::string(utf8)) return std::nullopt;
    return text;
}

std::optional<std::string> CodePage::ToUtf8(std::string_view bytes) const {
    std::optional<std::string> text = Convert(converters_->toUtf8.get(), bytes);
    if (!text) return std::nullopt;
    for (std::size_t pos = 0; pos < text->size();) {
        if (!DecodeUtf8(*text, pos)) return std::nullopt;
    }
    return text;
}

#endif

CodePage::CodePage(unsigned number, std::unique_ptr<Converters> converters)
    : number_(number), converters_(std::move(converters)) {}
CodePage::CodePage(CodePage&&) noexcept = default;
CodePage& CodePage::operator=(CodePage&&) noexcept = default;
CodePage::~CodePage() = default;

std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    std::size_t length;
    char32_t value;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (pos + length > text.size()) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        value = value << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not characters.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += length;
    return value;
}

std::string Printable(std::string_view bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t start = pos;
        std::optional<char32_t> c = DecodeUtf8(bytes, pos);
        if (c && *c >= 0x20 && *c != 0x7F) {
            out.append(bytes.substr(start, pos - start));
            continue;
        }
        if (!c) pos = start + 1;
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(bytes[start]));
        out.append(escaped);
    }
    return out;
}

}  // namespace payload_tool
