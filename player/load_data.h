// What every loader needs to read module data safely: bounded reads (a byte
// at or past the end reads as 0, so a cut file loads as if zero-filled), the
// name conversion, the failure message and zero-filled arrays.
#pragma once
#include "platform/alloc.h"
#include "player/module.h"
#include <cstddef>
#include <cstdint>

struct LoadData {
    const std::uint8_t* bytes;
    std::size_t length;

    std::uint8_t byte(std::size_t offset) const { return offset < length ? bytes[offset] : 0; }
    // Big-endian (MOD) and little-endian (S3M, XM) words.
    std::int32_t word(std::size_t offset) const { return byte(offset) << 8 | byte(offset + 1); }
    std::int32_t le16(std::size_t offset) const { return byte(offset) | byte(offset + 1) << 8; }
    std::uint32_t le32(std::size_t offset) const {
        return static_cast<std::uint32_t>(le16(offset)) |
               static_cast<std::uint32_t>(le16(offset + 2)) << 16;
    }
};

// Text fields keep only printable bytes: 0..32 become spaces, 128..255 stay.
void convert_name(char* destination, const LoadData& data, std::size_t offset, std::size_t n);
// True when the n bytes at `offset`, name-converted, spell `signature`.
bool has_signature(const LoadData& data, std::size_t offset, const char* signature);
// Writes a NUL-terminated reason into a load_message buffer, cut to fit.
void set_load_message(char* load_message, const char* text);

template <typename T> T* allocate(std::int32_t count) {
    return static_cast<T*>(mem_alloc(sizeof(T) * static_cast<std::size_t>(count)));
}
