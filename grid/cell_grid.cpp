// Layout, rebuild and grow-in of the cell windows.
#include "grid/cell_grid.h"
#include "base/alloc.h"
#include "base/diagnostics.h"
#include <cmath>

namespace {

constexpr DWORD cell_style = WS_CHILD | WS_VISIBLE | WS_BORDER;
constexpr UINT grow_flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
constexpr float diagonal_delay = 0.08f; // one anti-diagonal starts every 0.08 s
constexpr float grow_duration = 0.6f;

// Grows the list's storage to hold at least `wanted` cells, keeping its entries.
bool reserve_cells(CellGrid& grid, std::uint64_t wanted) {
    if (wanted <= grid.cell_capacity) return true;
    auto* larger = static_cast<Cell*>(mem_alloc(wanted * sizeof(Cell)));
    if (!larger) return false;
    for (std::uint64_t i = 0; i < grid.cell_count; ++i) larger[i] = grid.cells[i];
    mem_free(grid.cells);
    grid.cells = larger;
    grid.cell_capacity = wanted;
    return true;
}

} // namespace

ErrorName create_grid(CellGrid& grid, HWND parent, HINSTANCE instance, std::uint64_t cols,
                      std::uint64_t rows) {
    // The painting and the grow-in read the size from the grid itself.
    grid.cols = cols;
    grid.rows = rows;
    RECT client{};
    GetClientRect(parent, &client);
    const LONG width = client.right - client.left;
    const LONG height = client.bottom - client.top;
    if (width <= 0 || height <= 0 || cols == 0 || rows == 0) return ErrorName::Ok;
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    // Cells narrower or lower than one pixel: nothing to show.
    if (w < cols || h < rows) return ErrorName::Ok;
    const std::uint32_t cw = w / static_cast<std::uint32_t>(cols);
    const std::uint32_t ch = h / static_cast<std::uint32_t>(rows);
    // Leftover pixels split between both sides, the odd one to the right or bottom.
    const std::uint32_t ox = w % static_cast<std::uint32_t>(cols) / 2;
    const std::uint32_t oy = h % static_cast<std::uint32_t>(rows) / 2;
    if (!reserve_cells(grid, cols * rows)) return ErrorName::OutOfMemory;
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (std::uint64_t c = 0; c < cols; ++c) {
            const auto x = static_cast<std::int32_t>(c * cw + ox);
            const auto y = static_cast<std::int32_t>(r * ch + oy);
            // Born at zero size on its rectangle's centre; the grow-in sizes it.
            HWND window = CreateWindowExA(
                0, "ChildWindowClass", nullptr, cell_style, x + static_cast<int>(cw / 2),
                y + static_cast<int>(ch / 2), 0, 0, parent, nullptr, instance, nullptr);
            if (!window) continue; // left out; the following cells take its index
            if (!reserve_cells(grid, grid.cell_count + 1)) return ErrorName::OutOfMemory;
            grid.cells[grid.cell_count++] = Cell{window, x, y, static_cast<std::int32_t>(cw + 1),
                                                 static_cast<std::int32_t>(ch + 1)};
            InvalidateRect(window, nullptr, TRUE);
        }
    }
    return ErrorName::Ok;
}

ErrorName rebuild_grid(CellGrid& grid, HWND main_window, std::uint64_t cols, std::uint64_t rows) {
    for (std::uint64_t i = 0; i < grid.cell_count; ++i) DestroyWindow(grid.cells[i].window);
    grid.cell_count = 0;
    grid.cols = cols;
    grid.rows = rows;
    for (std::uint8_t& shade : grid.shades.values) shade = 0;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window, GWLP_HINSTANCE));
    return create_grid(grid, main_window, instance, cols, rows);
}

GrowInStep grow_in_step(CellGrid& grid, float t) {
    HDWP batch = BeginDeferWindowPos(static_cast<int>(grid.cell_count));
    if (!batch) panic("BeginDeferWindowPos failed");
    GrowInStep step{0, true};
    for (std::uint64_t j = 0; j < grid.cell_count; ++j) {
        const Cell& cell = grid.cells[j];
        const std::uint64_t diagonal = j / grid.cols + j % grid.cols;
        const float local = t - diagonal_delay * static_cast<float>(diagonal);
        if (local < 0.0f) {
            step.finished = false;
            continue;
        }
        if (local > grow_duration) continue;
        const float u = local / grow_duration;
        const float scale = u == 1.0f ? 1.0f : 1.0f - powf(2.0f, -10.0f * u);
        std::int32_t new_width =
            static_cast<std::int32_t>(scale * static_cast<float>(cell.width + 1));
        std::int32_t new_height =
            static_cast<std::int32_t>(scale * static_cast<float>(cell.height + 1));
        if (new_width < 0) new_width = 0;
        if (new_height < 0) new_height = 0;
        // Centred on the rectangle; at full scale (-1) / 2 truncates to 0.
        const std::int32_t x = cell.x + (cell.width - new_width) / 2;
        const std::int32_t y = cell.y + (cell.height - new_height) / 2;
        // A refused move abandons the whole batch, which the system frees at
        // once: none of the step's moves would land, so it is a refused batch.
        if (!DeferWindowPos(batch, cell.window, nullptr, x, y, new_width, new_height, grow_flags))
            panic("DeferWindowPos failed");
        step.moved += 1;
        step.finished = false;
    }
    // Closed in every step, so that all moved cells change at once.
    if (!EndDeferWindowPos(batch)) panic("EndDeferWindowPos failed");
    return step;
}

float grow_in_end(const CellGrid& grid) {
    return static_cast<float>(grid.cols + grid.rows - 2) * diagonal_delay + grow_duration;
}

void invalidate_cells(const CellGrid& grid) {
    for (std::uint64_t i = 0; i < grid.cell_count; ++i)
        InvalidateRect(grid.cells[i].window, nullptr, FALSE);
}

void release_grid(CellGrid& grid) {
    mem_free(grid.cells);
    grid.cells = nullptr;
    grid.cell_count = 0;
    grid.cell_capacity = 0;
}
