// The common algorithm of the two banner effects, with its show state passed in
// so that it can be driven without the process-wide state.
#pragma once
#include "show/show_state.h"
#include <cstdint>

struct BannerStyle {
    const char* text;
    std::int64_t length; // the text's length, which is also its wrap length
    std::uint8_t text_shade;
};

extern const BannerStyle banner_one_style;
extern const BannerStyle banner_two_style;

constexpr std::uint8_t banner_picture_shade = 100;

void draw_banner(ShowState& show, const BannerStyle& style, std::uint8_t* shades,
                 std::uint64_t cols, std::uint64_t rows, bool first);
