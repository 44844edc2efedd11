#include "system/system_multibyte_rules.h"

#include <windows.h>

#include <array>
#include <cstring>

namespace {

class SystemRules final : public MultibyteRules {
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

}  // namespace

const MultibyteRules& SystemMultibyteRules() {
    static const SystemRules rules;
    return rules;
}
