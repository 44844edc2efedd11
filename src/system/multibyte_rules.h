// What text operations on 8-bit strings need to know of the ANSI code page: where a double-byte
// character begins and how a character is lower-cased. The system's rules on Windows
// (SystemMultibyteRules), a fixed table in tests.
#pragma once

#include <string>
#include <string_view>

class MultibyteRules {
  public:
    // True when `byte` begins a double-byte character.
    virtual bool IsLeadByte(unsigned char byte) const = 0;
    // The lower-case form of one whole character: a single byte, or a lead byte and its trail byte.
    virtual std::string ToLower(std::string_view character) const = 0;

  protected:
    ~MultibyteRules() = default;
};
