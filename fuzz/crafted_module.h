// The loader target's input: arbitrary bytes become the sample headers and
// the note periods of an otherwise valid four-channel "M.K." module, so that
// nearly every input reaches the loader's loop repair and period-to-key paths.
//
// Input layout (missing bytes read as 0):
//   byte 0                 choices: bit 0 interpolation
//   31 x 8 bytes           sample headers 1..31: length word, fine-tune byte,
//                          volume byte, loop-start word, loop-length word
//   256 x 2 bytes          the pattern's cells, row after row: the MOD note's
//                          first two bytes (instrument high bit, period)
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

constexpr std::size_t crafted_header_offset = 1;
constexpr std::size_t crafted_header_bytes = 8;
constexpr std::size_t crafted_cells_offset = crafted_header_offset + 31 * crafted_header_bytes;
constexpr std::size_t crafted_cell_count = 64 * 4;
constexpr std::size_t crafted_input_size = crafted_cells_offset + crafted_cell_count * 2;
// Sample data actually present: enough for short samples to sound; the loader
// reads the rest of longer ones as silence.
constexpr std::size_t crafted_sample_bytes = 8192;
// The pattern's speed, set on row 0 of channel 0.
constexpr std::uint8_t crafted_speed = 3;

struct CraftedInput {
    const std::uint8_t* bytes;
    std::size_t size;

    std::uint8_t at(std::size_t offset) const { return offset < size ? bytes[offset] : 0; }
    std::int32_t word(std::size_t offset) const { return at(offset) << 8 | at(offset + 1); }
    // Offset of sample n's (1..31) header field.
    static std::size_t header(std::int32_t n) {
        return crafted_header_offset + crafted_header_bytes * static_cast<std::size_t>(n - 1);
    }
    std::int32_t length_frames(std::int32_t n) const { return word(header(n)) * 2; }
    std::int32_t period(std::size_t cell) const {
        return (at(crafted_cells_offset + 2 * cell) & 0x0F) << 8 |
               at(crafted_cells_offset + 2 * cell + 1);
    }
    // Instrument high bit from the input, low bits from the cell's position,
    // so that every instrument 0..31 plays.
    std::uint8_t instrument(std::size_t cell) const {
        return static_cast<std::uint8_t>((at(crafted_cells_offset + 2 * cell) & 0x10) |
                                         (cell & 0x0F));
    }
};

// The MOD module for an input: one pattern played once, then its sample data.
inline std::vector<std::uint8_t> crafted_module(const CraftedInput& input) {
    std::vector<std::uint8_t> mod(1084 + 1024, 0);
    const char title[] = "crafted headers";
    std::copy_n(title, sizeof title - 1, mod.begin());
    std::size_t total_length = 0;
    for (std::int32_t n = 1; n <= 31; ++n) {
        const std::size_t from = CraftedInput::header(n);
        std::uint8_t* to = &mod[20 + 30 * static_cast<std::size_t>(n - 1) + 22];
        for (std::size_t i = 0; i < crafted_header_bytes; ++i) to[i] = input.at(from + i);
        total_length += static_cast<std::size_t>(input.length_frames(n));
    }
    mod[950] = 1;
    std::copy_n("M.K.", 4, mod.begin() + 1080);
    for (std::size_t cell = 0; cell < crafted_cell_count; ++cell) {
        std::uint8_t* note = &mod[1084 + 4 * cell];
        const std::int32_t period = input.period(cell);
        const std::uint8_t instrument = input.instrument(cell);
        note[0] = static_cast<std::uint8_t>((instrument & 0x10) | period >> 8);
        note[1] = static_cast<std::uint8_t>(period & 0xFF);
        note[2] = static_cast<std::uint8_t>((instrument & 0x0F) << 4);
    }
    mod[1084 + 2] |= 0x0F;
    mod[1084 + 3] = crafted_speed;
    const std::size_t present = std::min(total_length, crafted_sample_bytes);
    for (std::size_t i = 0; i < present; ++i) {
        mod.push_back(static_cast<std::uint8_t>(i * 7 + (i >> 5)));
    }
    return mod;
}

} // namespace fuzz
