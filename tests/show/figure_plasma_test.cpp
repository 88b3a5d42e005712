// The figure and plasma renderers: what they draw, and that they stay inside
// the grid's part of the shade matrix.
#include "grid/cell_grid.h"
#include "show/effects.h"
#include "show/show_state.h"
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr std::uint8_t untouched = 77;

struct Shades {
    ShadeMatrix matrix;
    Shades() { std::memset(matrix.values, untouched, sizeof matrix.values); }
    std::uint8_t at(std::uint64_t row, std::uint64_t col) const {
        return matrix.values[row * shade_stride + col];
    }
    bool only_grid_written(std::uint64_t cols, std::uint64_t rows) const {
        for (std::uint64_t r = 0; r < max_grid_size; ++r)
            for (std::uint64_t c = 0; c < max_grid_size; ++c)
                if ((r >= rows || c >= cols) && at(r, c) != untouched) return false;
        return true;
    }
};

TEST(Figure, StandsInTheTopLeftCornerOfAGridOfAtLeastFiveByFive) {
    const char* figure[] = {".....", "..#..", ".#.#.", "#####", "#...#"};
    for (auto [cols, rows] : {std::pair<std::uint64_t, std::uint64_t>{5, 5}, {7, 6}, {20, 20}}) {
        Shades shades;
        ShowState show{};
        show.effect_time = 1.5f;
        render_figure(show, shades.matrix.values, cols, rows);
        for (std::uint64_t r = 0; r < rows; ++r)
            for (std::uint64_t c = 0; c < cols; ++c) {
                const bool on = r < 5 && c < 5 && figure[r][c] == '#';
                ASSERT_EQ(shades.at(r, c), on ? 255 : 0)
                    << cols << "x" << rows << " " << r << "," << c;
            }
        EXPECT_TRUE(shades.only_grid_written(cols, rows));
    }
}

TEST(Figure, SmallerGridsInEitherDirectionStayBlack) {
    for (auto [cols, rows] : {std::pair<std::uint64_t, std::uint64_t>{5, 4}, {4, 5}, {1, 1}}) {
        Shades shades;
        ShowState show{};
        render_figure(show, shades.matrix.values, cols, rows);
        for (std::uint64_t r = 0; r < rows; ++r)
            for (std::uint64_t c = 0; c < cols; ++c) EXPECT_EQ(shades.at(r, c), 0);
        EXPECT_TRUE(shades.only_grid_written(cols, rows));
    }
}

TEST(Plasma, CellZeroAtTimeZeroIs132) {
    Shades shades;
    ShowState show{};
    render_plasma(show, shades.matrix.values, 16, 14);
    EXPECT_EQ(shades.at(0, 0), 132);
    EXPECT_TRUE(shades.only_grid_written(16, 14));
}

// The same waves in double precision: every cell within one step of it.
int reference_shade(double t, int x, int y) {
    const double a = std::sin(t / 5) * 0.5, b = std::cos(t / 3) * 0.5;
    const double wx = std::sin(x * 1.1 + t);
    const double wy = std::sin(1.1 * y + t * 0.5 + wx);
    const double d = std::sqrt((y + b) * (y + b) + (a + x) * (a + x));
    const double wr = std::sin(1.1 * d * 0.2 + t);
    const double level = std::fmin(std::fmax((wy + wx + wr + 3) / 6, 0.0), 1.0);
    return static_cast<int>(255 * level);
}

TEST(Plasma, FollowsItsThreeWavesOverTime) {
    for (float t : {0.0f, 0.75f, 12.3f, 40.0f}) {
        Shades shades;
        ShowState show{};
        show.effect_time = t;
        render_plasma(show, shades.matrix.values, 20, 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_NEAR(shades.at(y, x), reference_shade(t, x, y), 1)
                    << "t " << t << " cell " << y << "," << x;
    }
}

} // namespace
