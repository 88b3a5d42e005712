// Writes IT 2.14/2.15 packed sample blocks bit by bit for tests and fuzz
// seeds: the values and width changes are spelled out by the caller.
#pragma once
#include <cstdint>
#include <vector>

struct ItBlockWriter {
    std::vector<std::uint8_t> bits;

    // Bits past the value's 32 (a field wider than any value) are zeros.
    void put(std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            bits.push_back(static_cast<std::uint8_t>(i < 32 ? value >> i & 1 : 0));
    }
    // The block: its byte count, then the bits least significant first.
    std::vector<std::uint8_t> block() const {
        const std::size_t bytes = (bits.size() + 7) / 8;
        std::vector<std::uint8_t> out{static_cast<std::uint8_t>(bytes),
                                      static_cast<std::uint8_t>(bytes >> 8)};
        out.resize(2 + bytes);
        for (std::size_t i = 0; i < bits.size(); ++i)
            out[2 + i / 8] = static_cast<std::uint8_t>(out[2 + i / 8] | bits[i] << (i % 8));
        return out;
    }
};
