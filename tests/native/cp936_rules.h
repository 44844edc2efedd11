// Code page 936 as far as the native tests need it: lead bytes 0x81 to 0xFE; ASCII capitals and
// the full-width Latin capitals (A3 C1 to A3 DA) have lower-case forms; every other character
// keeps its bytes.
#pragma once

#include "system/multibyte_rules.h"

#include <string>
#include <string_view>

class Cp936Rules : public MultibyteRules {
  public:
    bool IsLeadByte(unsigned char byte) const override { return byte >= 0x81 && byte <= 0xFE; }
    std::string ToLower(std::string_view character) const override {
        std::string lower(character);
        auto first = static_cast<unsigned char>(lower[0]);
        if (lower.size() == 1 && first >= 'A' && first <= 'Z') {
            lower[0] = static_cast<char>(first + ('a' - 'A'));
        } else if (lower.size() == 2 && first == 0xA3) {
            auto second = static_cast<unsigned char>(lower[1]);
            if (second >= 0xC1 && second <= 0xDA) lower[1] = static_cast<char>(second + 0x20);
        }
        return lower;
    }
};
