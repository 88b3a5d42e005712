// A cell window's paint: one flat grey level from the shade matrix.
#include "grid/cell_grid.h"

namespace {

constexpr COLORREF not_in_list_colour = 0x00FF0000; // blue
constexpr COLORREF beyond_rows_colour = 0x000000FF; // red

COLORREF cell_colour(const CellGrid& grid, HWND window) {
    for (std::uint64_t i = 0; i < grid.cell_count; ++i) {
        if (grid.cells[i].window != window) continue;
        const std::uint64_t r = i / grid.cols;
        const std::uint64_t c = i % grid.cols;
        // A cell beyond the rows, or beyond the shade matrix, has no shade.
        if (r >= grid.rows || r >= max_grid_size || c >= max_grid_size) return beyond_rows_colour;
        return grid.shades.values[r * shade_stride + c] * 0x010101u;
    }
    return not_in_list_colour;
}

} // namespace

void paint_cell(const CellGrid& grid, HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return;
    HBRUSH brush = CreateSolidBrush(cell_colour(grid, window));
    if (brush) {
        FillRect(dc, &paint.rcPaint, brush);
        DeleteObject(brush);
    }
    EndPaint(window, &paint);
}
