#include "icon_picture.h"

namespace {

constexpr int cells_per_side = 4;

// A diagonal wave of light, as the plasma makes it, from bright corner to
// bright corner; no level is so dark that it vanishes on a dark task bar.
constexpr std::uint8_t cell_levels[cells_per_side][cells_per_side] = {
    {15, 12, 9, 6},
    {12, 10, 7, 9},
    {9, 7, 10, 12},
    {6, 9, 12, 15},
};

// The cell that pixel `x` falls into along one side, or -1 in a gutter.
int cell_at(int x, int size) {
    const int gutter = size < 32 ? 1 : size / 16;
    const int cell = x * cells_per_side / size;
    const int cell_end = (cell + 1) * size / cells_per_side - gutter;
    return x < cell_end ? cell : -1;
}

} // namespace

IconPicture draw_icon(int size) {
    IconPicture picture{size, std::vector<std::uint8_t>(std::size_t(size) * size, see_through)};
    for (int y = 0; y < size; ++y) {
        const int row = cell_at(y, size);
        for (int x = 0; x < size && row >= 0; ++x) {
            const int col = cell_at(x, size);
            if (col >= 0) picture.levels[std::size_t(y) * size + x] = cell_levels[row][col];
        }
    }
    return picture;
}
