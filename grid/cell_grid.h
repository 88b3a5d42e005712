// The cell windows that serve as the show's big pixels: their layout in the
// main window's client area, rebuilds at new sizes, the staggered grow-in and
// the grey levels they show.
#pragma once
#include "base/errors.h"
#include "platform/win32.h"
#include <cstdint>

struct Cell {
    HWND window;
    std::int32_t x; // cell rectangle, main window client coordinates
    std::int32_t y;
    std::int32_t width;  // column width + 1
    std::int32_t height; // row height + 1
};

constexpr int shade_stride = 20; // row stride of the shade matrix, independent of cols
constexpr int max_grid_size = 20;

// Grey level per grid position, 0 black .. 255 white; entry r * 20 + c.
struct ShadeMatrix {
    std::uint8_t values[shade_stride * max_grid_size];
};

struct CellGrid {
    Cell* cells; // row-major; storage from the allocation seam
    std::uint64_t cell_count;
    std::uint64_t cell_capacity;
    std::uint64_t cols;
    std::uint64_t rows;
    ShadeMatrix shades;
};

struct GrowInStep {
    std::uint64_t moved;
    bool finished;
};

// Lays out cols x rows cells in the parent's client area and appends them to
// grid.cells (which the caller has emptied); records cols and rows in the grid.
ErrorName create_grid(CellGrid& grid, HWND parent, HINSTANCE instance, std::uint64_t cols,
                      std::uint64_t rows);
// Destroys the cell windows, clears the shades and creates a grid of the new size.
ErrorName rebuild_grid(CellGrid& grid, HWND main_window, std::uint64_t cols, std::uint64_t rows);
// One grow-in step at grow-in time t (seconds), all cells in one deferred batch.
GrowInStep grow_in_step(CellGrid& grid, float t);
// The grow-in time at which the cell on the last diagonal has finished growing.
float grow_in_end(const CellGrid& grid);
// Invalidates every cell window whole, without erasing, in list order.
void invalidate_cells(const CellGrid& grid);
// Releases the list's storage and leaves it empty.
void release_grid(CellGrid& grid);

// Answers a cell window's WM_PAINT with its grey level (blue for a window not
// in the list, red for one beyond the rows).
void paint_cell(const CellGrid& grid, HWND window);
