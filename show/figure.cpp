// A still figure of ten white cells, a peaked outline, in the grid's top-left 5 x 5.
#include "grid/cell_grid.h"
#include "show/effects.h"

namespace {

struct FigureCell {
    int row;
    int col;
};

constexpr FigureCell figure_cells[] = {{1, 2}, {2, 1}, {2, 3}, {3, 0}, {3, 1},
                                       {3, 2}, {3, 3}, {3, 4}, {4, 0}, {4, 4}};
constexpr std::uint64_t figure_size = 5;

} // namespace

void render_figure(ShowState&, std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows) {
    clear_shades(shades, cols, rows);
    // A partial figure would read as noise; smaller grids stay black.
    if (cols < figure_size || rows < figure_size) return;
    for (const FigureCell& cell : figure_cells) shades[cell.row * shade_stride + cell.col] = 255;
}
