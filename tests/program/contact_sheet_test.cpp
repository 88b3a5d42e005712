// The contact sheet keeps an even pace over a run of any length, and labels
// each thumbnail legibly.
#include "tools/gridshow-headless/contact_sheet.h"
#include "tools/gridshow-headless/tiny_font.h"
#include <gtest/gtest.h>

namespace {

constexpr int screen_width = 480;
constexpr int screen_height = 270;

std::vector<std::uint32_t> flat_screen(std::uint32_t colour) {
    return std::vector<std::uint32_t>(screen_width * screen_height, colour);
}

// Feeds the sheet the way a run does, tick by tick.
ContactSheet sheet_after(std::uint64_t ticks) {
    ContactSheet sheet;
    contact_sheet_begin(sheet, screen_width, screen_height, contact_sheet_first_interval);
    std::vector<std::uint32_t> screen = flat_screen(0x808080);
    for (std::uint64_t tick = 1; tick <= ticks; ++tick)
        if (contact_sheet_wants(sheet, tick))
            contact_sheet_add(sheet, tick, screen.data(), screen_width, std::to_string(tick));
    return sheet;
}

TEST(ContactSheet, AnyRunFitsAndKeepsAnEvenPaceFromItsStart) {
    for (std::uint64_t ticks : {10u, 25u, 1200u, 1225u, 3942u, 50000u}) {
        SCOPED_TRACE(ticks);
        ContactSheet sheet = sheet_after(ticks);
        ASSERT_LE(sheet.thumbnails.size(), contact_sheet_capacity);
        EXPECT_EQ(sheet.thumbnails.size(), ticks / sheet.interval);
        for (std::size_t i = 0; i < sheet.thumbnails.size(); ++i)
            EXPECT_EQ(sheet.thumbnails[i].tick, (i + 1) * sheet.interval);
    }
    EXPECT_EQ(sheet_after(3942).interval, 100u); // a whole show: one every 1.6 s
}

TEST(ContactSheet, ThumbnailsAverageTheScreen) {
    ContactSheet sheet;
    contact_sheet_begin(sheet, screen_width, screen_height, 1);
    std::vector<std::uint32_t> screen = flat_screen(0x000000);
    for (int y = 0; y < screen_height; ++y) // left half white
        std::fill_n(screen.begin() + y * screen_width, screen_width / 2, 0xFFFFFF);
    screen[0] = 0x0000FF; // one blue pixel in the top-left thumbnail pixel's 2 x 2 area
    contact_sheet_add(sheet, 1, screen.data(), screen_width, "1");
    const std::vector<std::uint32_t>& small = sheet.thumbnails[0].pixels;
    ASSERT_EQ(sheet.thumbnail_height, 135);
    EXPECT_EQ(small[0], 0xBFBFFFu);
    EXPECT_EQ(small[thumbnail_width - 1], 0x000000u);
    EXPECT_EQ(small[134 * thumbnail_width + 10], 0xFFFFFFu);
}

TEST(ContactSheet, ComposesRowsOfThumbnailsWithTheirLabels) {
    ContactSheet sheet = sheet_after(7 * contact_sheet_first_interval);
    int width = 0, height = 0;
    std::vector<std::uint32_t> picture = contact_sheet_compose(sheet, &width, &height);
    ASSERT_EQ(sheet.thumbnails.size(), 7u);
    EXPECT_EQ(width, 6 + contact_sheet_columns * (thumbnail_width + 6));
    EXPECT_EQ(height, 6 + 2 * (sheet.thumbnail_height + 16 + 6)); // 6 + 1 thumbnails
    EXPECT_EQ(picture[6 * width + 6], 0x808080u);
    EXPECT_EQ(picture[0], 0x202020u);
}

TEST(TinyFont, DrawsGlyphsScaledAndClipped) {
    std::vector<std::uint32_t> pixels(20 * 12, 0);
    Picture picture{pixels.data(), 20, 12, 20};
    int end = draw_text(picture, 0, 0, "1a", 2, 0xFFFFFF);
    EXPECT_EQ(end, 2 * glyph_advance * 2);
    // "1": its top row is " # ", drawn as a 2 x 2 block at x 2..3.
    EXPECT_EQ(pixels[0 * 20 + 2], 0xFFFFFFu);
    EXPECT_EQ(pixels[1 * 20 + 3], 0xFFFFFFu);
    EXPECT_EQ(pixels[0 * 20 + 0], 0u);
    // Small letters draw as capitals: "A" has its top row " # " too.
    EXPECT_EQ(pixels[0 * 20 + 8 + 2], 0xFFFFFFu);
    // Clipped at the picture's edge, no writes outside it.
    draw_text(picture, 18, 8, "8", 2, 0x123456);
    EXPECT_EQ(pixels[8 * 20 + 18], 0x123456u);
}

} // namespace
