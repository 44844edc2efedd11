// Integers as the payload container and its checksum trailer store them: least significant byte
// first. The one reader and writer of that form, for the installer, the payload tool and tests.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>

// The sizeof(T) bytes that store `value`.
template <std::unsigned_integral T>
constexpr std::array<unsigned char, sizeof(T)> ToLittleEndian(T value) {
    std::array<unsigned char, sizeof(T)> bytes{};
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return bytes;
}

// The value stored in the sizeof(T) bytes at `bytes`.
template <std::unsigned_integral T>
constexpr T FromLittleEndian(const unsigned char* bytes) {
    T value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) value = static_cast<T>(value << 8 | bytes[i]);
    return value;
}
