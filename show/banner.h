// The common algorithm of the two banner effects, with its show state passed in
// so that it can be driven without the process-wide state.
#pragma once
#include "show/show_state.h"
#include <cstdint>

// The text is held in the style, not pointed to: the styles then hold no
// addresses, which the Windows loader would have to move when it places the
// program elsewhere.
constexpr int banner_text_capacity = 42;

struct BannerStyle {
    char text[banner_text_capacity];
    std::uint8_t length; // the text's length, which is also its wrap length
    std::uint8_t text_shade;
};

extern const BannerStyle banner_one_style;
extern const BannerStyle banner_two_style;

constexpr std::uint8_t banner_picture_shade = 100;

void draw_banner(ShowState& show, const BannerStyle& style, std::uint8_t* shades,
                 std::uint64_t cols, std::uint64_t rows, bool first);
