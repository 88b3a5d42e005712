// The banner renderers: text position and wrap, the picture's path and frames,
// and how both fit 9- and 7-row grids.
#include "grid/cell_grid.h"
#include "show/banner.h"
#include "show/banner_data.h"
#include "show/show_state.h"
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Same algorithm, only blanks: what is left on the grid is the picture.
const BannerStyle picture_only = {"        ", 8, 255};

struct Banner : ::testing::Test {
    ShowState show{};
    ShadeMatrix shades{};

    std::uint8_t at(int row, int col) const { return shades.values[row * shade_stride + col]; }

    // The first call, then `ticks` show ticks each followed by a draw.
    void run(const BannerStyle& style, std::uint64_t cols, std::uint64_t rows, int ticks) {
        draw_banner(show, style, shades.values, cols, rows, true);
        for (int i = 0; i < ticks; ++i) {
            advance_show_clocks(show);
            draw_banner(show, style, shades.values, cols, rows, false);
        }
    }

    int count(std::uint8_t shade) const {
        int n = 0;
        for (std::uint8_t v : shades.values) n += v == shade;
        return n;
    }
};

TEST_F(Banner, TextsHaveTheirWrapLengths) {
    EXPECT_EQ(std::strlen(banner_one_style.text), 40u);
    EXPECT_EQ(std::strlen(banner_two_style.text), 41u);
    EXPECT_EQ(banner_one_style.length, 40);
    EXPECT_EQ(banner_two_style.length, 41);
    EXPECT_EQ(banner_one_style.text_shade, 255);
    EXPECT_EQ(banner_two_style.text_shade, 192);
}

TEST_F(Banner, FontHasBlankUnderscore) {
    const auto glyph = [](int code) {
        return banner_font + (code - banner_font_first) * banner_font_rows;
    };
    for (int j = 0; j < banner_font_rows; ++j) EXPECT_EQ(glyph('_')[j], 0);
    // 'A' keeps its shape: row 0 is 0x0C (columns 2 and 3).
    EXPECT_EQ(glyph('A')[0], 0x0C);
}

TEST_F(Banner, FirstCallResetsMotionAndShowsTheTextStart) {
    show.banner_scroll = 17.5f;
    show.banner_picture_x = -3;
    show.blink_frame = 1;
    show.blink_time = 0.1f;
    show.bob_offset = 4;
    std::memset(shades.values, 77, sizeof shades.values);
    draw_banner(show, banner_one_style, shades.values, 16, 9, true);
    EXPECT_EQ(show.banner_scroll, 0.0f);
    EXPECT_EQ(show.banner_picture_x, 25.0f);
    EXPECT_EQ(show.blink_frame, 0u);
    EXPECT_EQ(show.blink_time, 0.0f);
    EXPECT_EQ(show.bob_offset, 4); // kept until the next flip
    // Two spaces fill columns 0..15; the picture waits beyond the right edge.
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 16; ++c) EXPECT_EQ(at(r, c), 0);
    // Outside the grid nothing is touched.
    EXPECT_EQ(at(0, 16), 77);
    EXPECT_EQ(at(9, 0), 77);
}

TEST_F(Banner, After100TicksCharacterThreeBeginsAtColumnMinusOne) {
    run(banner_one_style, 16, 9, 100);
    EXPECT_NEAR(show.banner_scroll, 3.2f, 1e-3);
    EXPECT_NEAR(show.banner_picture_x, 20.36f, 1e-3);
    // Character 3 is 'o' (rows 2..6: 1E 33 33 33 1E), drawn from column -1,
    // text top at row 1 on nine rows.
    const std::uint8_t expected_row3[] = {255, 255, 255, 255, 0};  // 1E: columns 0..3
    const std::uint8_t expected_row4[] = {255, 0, 0, 255, 255, 0}; // 33: -1, 0, 3, 4
    for (int c = 0; c < 5; ++c) EXPECT_EQ(at(3, c), expected_row3[c]) << c;
    for (int c = 0; c < 6; ++c) EXPECT_EQ(at(4, c), expected_row4[c]) << c;
    EXPECT_EQ(count(banner_picture_shade), 0);
}

TEST_F(Banner, PictureEntersColumnByColumnAndLeavesForGood) {
    run(picture_only, 16, 9, 200);
    ASSERT_EQ(static_cast<int>(std::floor(show.banner_picture_x)), 15);
    // Only picture column 0 is on the grid, in column 15.
    int lit = 0;
    for (int r = 0; r < 9; ++r) {
        const bool on = banner_picture_lit(show.blink_frame, r, 0);
        EXPECT_EQ(at(r, 15), on ? banner_picture_shade : 0) << r;
        for (int c = 0; c < 15; ++c) EXPECT_EQ(at(r, c), 0);
        lit += on;
    }
    EXPECT_GT(lit, 0);

    for (int i = 200; i < 862; ++i) advance_show_clocks(show);
    draw_banner(show, picture_only, shades.values, 16, 9, false);
    EXPECT_EQ(static_cast<int>(std::floor(show.banner_picture_x)), -15);
    EXPECT_GT(count(banner_picture_shade), 0); // its last column still shows
    advance_show_clocks(show);
    draw_banner(show, picture_only, shades.values, 16, 9, false);
    EXPECT_EQ(static_cast<int>(std::floor(show.banner_picture_x)), -16);
    EXPECT_EQ(count(banner_picture_shade), 0);
}

TEST_F(Banner, PictureShowsTheBlinkFrame) {
    draw_banner(show, picture_only, shades.values, 16, 9, true);
    show.banner_picture_x = 0.5f;
    for (std::uint64_t frame = 0; frame < 2; ++frame) {
        show.blink_frame = frame;
        draw_banner(show, picture_only, shades.values, 16, 9, false);
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 16; ++c)
                ASSERT_EQ(at(r, c), banner_picture_lit(frame, r, c) ? 100 : 0)
                    << "frame " << frame << " row " << r << " col " << c;
    }
}

TEST_F(Banner, ScrollWrapsSeamlesslyBeforeDrawing) {
    draw_banner(show, banner_one_style, shades.values, 16, 9, true);
    show.banner_scroll = 39.99f;
    advance_show_clocks(show);
    draw_banner(show, banner_one_style, shades.values, 16, 9, false);
    EXPECT_NEAR(show.banner_scroll, 0.022f, 1e-4);
    const ShadeMatrix wrapped = shades;

    ShowState fresh{};
    draw_banner(fresh, banner_one_style, shades.values, 16, 9, true);
    fresh.banner_picture_x = show.banner_picture_x;
    fresh.banner_scroll = show.banner_scroll;
    draw_banner(fresh, banner_one_style, shades.values, 16, 9, false);
    EXPECT_EQ(std::memcmp(wrapped.values, shades.values, sizeof shades.values), 0);
}

TEST_F(Banner, NineRowGridKeepsTextOffRowsZeroAndEight) {
    draw_banner(show, banner_one_style, shades.values, 16, 9, true);
    bool text_in_row[9] = {};
    for (int step = 0; step < 40 * 8; ++step) {
        show.banner_scroll = static_cast<float>(step) / 8.0f;
        show.banner_picture_x = 100; // out of sight
        draw_banner(show, banner_one_style, shades.values, 16, 9, false);
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 16; ++c) text_in_row[r] |= at(r, c) == 255;
    }
    EXPECT_FALSE(text_in_row[0]);
    EXPECT_FALSE(text_in_row[8]);
    for (int r = 1; r <= 7; ++r) EXPECT_TRUE(text_in_row[r]) << r;
}

TEST_F(Banner, SevenRowGridShiftsPictureUpAndTextToRowZero) {
    run(picture_only, 20, 7, 0);
    show.banner_picture_x = 0.0f;
    draw_banner(show, picture_only, shades.values, 20, 7, false);
    // Picture rows 1..7 land in grid rows 0..6.
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 16; ++c)
            ASSERT_EQ(at(r, c), banner_picture_lit(0, r + 1, c) ? 100 : 0) << r << "," << c;

    // Character 3 of the second text is 'S' (row 0: 1E, columns 1..4), at the top row.
    show.banner_scroll = 3.0f;
    show.banner_picture_x = 100;
    draw_banner(show, banner_two_style, shades.values, 20, 7, false);
    const std::uint8_t expected[] = {0, 192, 192, 192, 192, 0};
    for (int c = 0; c < 6; ++c) EXPECT_EQ(at(0, c), expected[c]) << c;
}

TEST_F(Banner, TextShadeWinsOverThePicture) {
    draw_banner(show, banner_one_style, shades.values, 16, 9, true);
    show.banner_picture_x = 0.0f; // picture row 2 is fully on
    show.banner_scroll = 2.0f;    // 'C' at columns 0..7; its row 1 (0x66) is grid row 2
    draw_banner(show, banner_one_style, shades.values, 16, 9, false);
    // 0x66: columns 1, 2, 5, 6 of the glyph are text, 0, 3, 4, 7 only picture.
    const std::uint8_t expected[] = {100, 255, 255, 100, 100, 255, 255, 100};
    for (int c = 0; c < 8; ++c) EXPECT_EQ(at(2, c), expected[c]) << c;
}

} // namespace
