// A bare parent window on the headless host for cell grids, whose cells paint
// from the fixture's grid.
#pragma once
#include "grid/cell_grid.h"
#include "platform/headless/headless.h"
#include "platform/win32.h"
#include <gtest/gtest.h>
#include <ostream>

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

inline LRESULT CALLBACK plain_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

// The layer keeps no per-window data: the cells find their grid here.
inline CellGrid fixture_grid{};

inline LRESULT CALLBACK fixture_cell_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message != WM_PAINT) return DefWindowProcA(window, message, wparam, lparam);
    paint_cell(fixture_grid, window);
    return 0;
}

struct GridFixture : ::testing::Test {
    HWND parent = nullptr;

    static HINSTANCE instance() { return GetModuleHandleA(nullptr); }
    static CellGrid& grid() { return fixture_grid; }

    static void register_classes() {
        WNDCLASSEXA parent_class{};
        parent_class.cbSize = sizeof parent_class;
        parent_class.lpfnWndProc = plain_window_proc;
        parent_class.hInstance = instance();
        parent_class.lpszClassName = "GridTestParent";
        RegisterClassExA(&parent_class);
        WNDCLASSEXA cell_class = parent_class;
        cell_class.lpfnWndProc = fixture_cell_proc;
        cell_class.lpszClassName = "ChildWindowClass";
        RegisterClassExA(&cell_class);
    }

    // A borderless top-level window at the screen's origin: its client area is
    // the whole window.
    HWND make_parent(int width, int height) {
        register_classes();
        parent =
            CreateWindowExA(0, "GridTestParent", "grid", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                            0, width, height, nullptr, nullptr, instance(), nullptr);
        EXPECT_NE(parent, nullptr);
        return parent;
    }

    static RECT window_rect(HWND window) {
        RECT rect{};
        EXPECT_TRUE(GetWindowRect(window, &rect));
        return rect;
    }

    void TearDown() override {
        if (parent) DestroyWindow(parent);
        release_grid(grid());
        grid() = CellGrid{};
        headless_reset();
    }

    // Grows every cell to its final size.
    static void grow_all() {
        float t = 0;
        while (!grow_in_step(grid(), t += 0.016f).finished) {}
    }

    // The colour a cell shows in the middle of its rectangle, 0x00RRGGBB.
    std::uint32_t cell_pixel(std::uint64_t index) const {
        const Cell& cell = grid().cells[index];
        return headless_window_pixel(parent, cell.x + cell.width / 2, cell.y + cell.height / 2);
    }
};
