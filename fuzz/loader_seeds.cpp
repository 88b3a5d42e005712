// Seeds of the loader target (layout in crafted_module.h): sample headers of
// every loop kind the repair knows, and periods at the edges of the Amiga
// range, on every key boundary and outside it.
#include "fuzz/crafted_module.h"
#include "fuzz/seed_files.h"
#include <cmath>
#include <string>

namespace {

struct Header {
    std::uint16_t length_words;
    std::uint8_t fine_tune;
    std::uint8_t volume;
    std::uint16_t loop_start_words;
    std::uint16_t loop_length_words;
};

// Loops that fit, loop starts given in frames, loops past the end that are
// cut or dropped, "no loop" markers, empty and longest samples, volumes and
// fine tunes past their ranges.
constexpr Header loop_kinds[] = {
    {500, 0x00, 64, 100, 200},
    {500, 0x07, 40, 400, 200},
    {500, 0x08, 64, 200, 100},
    {500, 0x0F, 0x50, 0, 1},
    {500, 0xF8, 0x90, 0, 0},
    {0, 0, 64, 0, 0},
    {0, 0, 64, 10, 10},
    {2, 0, 64, 0, 2},
    {2, 0, 64, 1, 1},
    {0xFFFF, 0, 64, 0xFFFE, 2},
    {0xFFFF, 0, 64, 0, 0xFFFF},
    {0xFFFF, 0x0F, 127, 0xFFFF, 0xFFFF},
    {1000, 0, 64, 400, 200},
    {1000, 0, 64, 700, 200},
    {1000, 0, 64, 998, 2},
    {100, 0, 64, 0, 100},
    {100, 0, 64, 1, 100},
    {100, 0, 64, 99, 1},
    {4, 0, 64, 0, 4},
    {4, 0, 64, 2, 3},
    {3, 0, 64, 1, 2},
    {0x8000, 0, 64, 0x4000, 0x4000},
    {0x8000, 0, 64, 0x7FFF, 0x8000},
    {10, 0, 64, 0xFFFF, 0xFFFF},
    {200, 0, 64, 150, 60},
    {200, 0, 64, 60, 150},
    {200, 0, 64, 100, 101},
    {1, 0, 64, 0, 1},
    {1, 0, 64, 0, 0},
    {64, 0, 64, 30, 2},
    {64, 0x0A, 1, 31, 2},
};

void put_word(std::vector<std::uint8_t>& input, std::size_t at, std::uint16_t value) {
    input[at] = static_cast<std::uint8_t>(value >> 8);
    input[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

// An input with the loop kinds from `first` on (wrapping) and the periods
// `period_of(cell)`.
template <typename PeriodOf>
std::vector<std::uint8_t> crafted_input(std::uint8_t choices, std::size_t first,
                                        PeriodOf period_of) {
    std::vector<std::uint8_t> input(fuzz::crafted_input_size, 0);
    input[0] = choices;
    constexpr std::size_t kinds = sizeof loop_kinds / sizeof loop_kinds[0];
    for (std::int32_t n = 1; n <= 31; ++n) {
        const Header& h = loop_kinds[(first + static_cast<std::size_t>(n - 1)) % kinds];
        const std::size_t at = fuzz::CraftedInput::header(n);
        put_word(input, at, h.length_words);
        input[at + 2] = h.fine_tune;
        input[at + 3] = h.volume;
        put_word(input, at + 4, h.loop_start_words);
        put_word(input, at + 6, h.loop_length_words);
    }
    for (std::size_t cell = 0; cell < fuzz::crafted_cell_count; ++cell) {
        const std::int32_t period = period_of(cell);
        const std::size_t at = fuzz::crafted_cells_offset + 2 * cell;
        input[at] = static_cast<std::uint8_t>((cell & 0x20 ? 0x10 : 0) | (period >> 8 & 0x0F));
        input[at + 1] = static_cast<std::uint8_t>(period & 0xFF);
    }
    return input;
}

// The nearest key on the logarithmic scale (428 is key 49).
std::int32_t nearest_key(std::int32_t period) {
    const double a = std::floor(period * 131072.0 / 29021.0);
    return static_cast<std::int32_t>(std::floor(12 * (15 - std::log2(a)) + 0.5));
}

// The periods on both sides of every key change, and the range's edges.
std::vector<std::int32_t> key_boundaries() {
    std::vector<std::int32_t> periods = {0, 1, 27, 28, 29, 1712, 1713, 1714, 4095};
    for (std::int32_t p = 29; p <= 1712; ++p) {
        if (nearest_key(p) != nearest_key(p - 1)) {
            periods.push_back(p - 1);
            periods.push_back(p);
        }
    }
    return periods;
}

} // namespace

bool write_loader_seeds(const std::string& folder) {
    const std::vector<std::int32_t> boundaries = key_boundaries();
    bool ok = true;
    for (std::size_t seed = 0; seed * 64 < boundaries.size() && ok; ++seed) {
        const auto period_of = [&](std::size_t cell) {
            return boundaries[(seed * 64 + cell / 4) % boundaries.size()];
        };
        ok = write_seed(folder, "boundaries_" + std::to_string(seed) + ".bin",
                        crafted_input(static_cast<std::uint8_t>(seed & 1), seed * 7, period_of));
    }
    const auto amiga_table = [](std::size_t cell) {
        constexpr std::int32_t octave[] = {856, 808, 762, 720, 678, 640,
                                           604, 570, 538, 508, 480, 453};
        return octave[cell % 12] >> (cell / 12 % 3);
    };
    const auto every_fourth_empty = [](std::size_t cell) {
        return cell % 4 == 0 ? 0 : static_cast<std::int32_t>(28 + cell * 6);
    };
    return ok && write_seed(folder, "amiga_table.bin", crafted_input(0, 3, amiga_table)) &&
           write_seed(folder, "amiga_table_interpolated.bin", crafted_input(1, 11, amiga_table)) &&
           write_seed(folder, "sparse.bin", crafted_input(1, 20, every_fourth_empty)) &&
           write_seed(folder, "headers_only.bin",
                      std::vector<std::uint8_t>(fuzz::crafted_cells_offset, 0xFF)) &&
           write_seed(folder, "empty.bin", {});
}
