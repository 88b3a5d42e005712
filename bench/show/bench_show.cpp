// One show tick in EffectRunning followed by the repaint it causes (cell
// paints and the composition of the main window), for each effect on its own
// grid in a 1536 x 833 client area.
#include "grid/cell_grid.h"
#include "platform/headless/headless.h"
#include "player/sequencer.h"
#include "show/effects.h"
#include "show/show_state.h"
#include <benchmark/benchmark.h>

namespace {

// The layer keeps no per-window data: the cells find their grid here.
CellGrid bench_grid{};

LRESULT CALLBACK bench_cell_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message != WM_PAINT) return DefWindowProcA(window, message, wparam, lparam);
    paint_cell(bench_grid, window);
    return 0;
}

LRESULT CALLBACK plain_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

void register_classes() {
    WNDCLASSEXA parent_class{};
    parent_class.cbSize = sizeof parent_class;
    parent_class.lpfnWndProc = plain_window_proc;
    parent_class.hInstance = GetModuleHandleA(nullptr);
    parent_class.lpszClassName = "BenchParent";
    RegisterClassExA(&parent_class);
    WNDCLASSEXA cell_class = parent_class;
    cell_class.lpfnWndProc = bench_cell_proc;
    cell_class.lpszClassName = "ChildWindowClass";
    RegisterClassExA(&cell_class);
}

void effect_tick(benchmark::State& state) {
    const auto index = static_cast<std::uint64_t>(state.range(0));
    const EffectEntry& effect = effect_table[index];
    headless_reset();
    register_classes();
    HWND main_window = CreateWindowExA(WS_EX_COMPOSITED, "BenchParent", "bench",
                                       WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 192, 108, 1536, 833,
                                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CellGrid& grid = bench_grid;
    const std::uint64_t cols = effect.grid_cols < 20 ? effect.grid_cols : 20;
    const std::uint64_t rows = effect.grid_rows < 20 ? effect.grid_rows : 20;
    if (rebuild_grid(grid, main_window, cols, rows) != ErrorName::Ok) {
        state.SkipWithError("grid creation failed");
        return;
    }
    float t = 0;
    while (!grow_in_step(grid, t += 0.016f).finished) {}
    headless_run_for(0);

    Replay replay{};
    replay.order_counter = static_cast<std::uint32_t>(effect.end_order - 1); // never finishes
    ShowState show{};
    show.phase = ShowPhase::EffectRunning;
    show.effect_index = index;
    show.first_frame = true;
    show.home_x = 192;
    show.home_y = 108;

    for ([[maybe_unused]] auto _ : state) {
        show_tick(show, grid, &replay, main_window);
        headless_run_for(0);
    }
    state.counters["cells"] = static_cast<double>(grid.cell_count);

    DestroyWindow(main_window);
    release_grid(grid);
    grid = CellGrid{};
}

BENCHMARK(effect_tick)
    ->ArgName("effect")
    ->DenseRange(0, effect_count - 1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
