// Converting names between UTF-8 and a Windows code page: iconv on Linux, the system's own
// conversions on Windows. Nothing is approximated: a character without an exact counterpart fails.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace payload_tool {

inline constexpr unsigned kDefaultCodePage = 936;

class CodePage {
  public:
    // The code page with this Windows number, or nothing when this system cannot convert it.
    static std::optional<CodePage> Open(unsigned number);

    CodePage(CodePage&&) noexcept;
    CodePage& operator=(CodePage&&) noexcept;
    ~CodePage();

    unsigned number() const { return number_; }

    // The name in this code page; nothing when `utf8` is not valid UTF-8 or holds a character the
    // code page cannot represent exactly (converting back must give the same text).
    std::optional<std::string> FromUtf8(std::string_view utf8) const;
    // The name in UTF-8; nothing when `bytes` is not valid in this code page.
    std::optional<std::string> ToUtf8(std::string_view bytes) const;

  private:
    struct Converters;
    CodePage(unsigned number, std::unique_ptr<Converters> converters);

    unsigned number_;
    std::unique_ptr<Converters> converters_;
};

// Decodes one UTF-8 character at `pos`, advancing it; nothing for an invalid sequence.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos);

// A name for messages: UTF-8 as it is, other bytes written as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace payload_tool
