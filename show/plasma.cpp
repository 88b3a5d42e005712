// Three sine waves over column, row and time: one along the columns, one along
// the rows bent by the first, and a radial one around a centre that wanders
// within half a cell of the top-left corner.
#include "grid/cell_grid.h"
#include "show/effects.h"
#include "show/show_state.h"
#include <cmath>

void render_plasma(ShowState& show, std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows) {
    clear_shades(shades, cols, rows);
    const float t = show.effect_time;
    const float h = t * 0.5f;
    const float a = sinf(t / 5.0f) * 0.5f;
    const float b = cosf(t / 3.0f) * 0.5f;
    for (std::uint64_t y = 0; y < rows; ++y) {
        const float fy = static_cast<float>(y);
        const float ry = 1.1f * fy + h;
        const float dy2 = (fy + b) * (fy + b);
        for (std::uint64_t x = 0; x < cols; ++x) {
            const float fx = static_cast<float>(x);
            const float wx = sinf(fx * 1.1f + t);
            const float wy = sinf(ry + wx);
            const float d = sqrtf(dy2 + (a + fx) * (a + fx));
            const float wr = sinf((1.1f * d) * 0.2f + t);
            float level = ((wy + wx) + wr + 3.0f) / 6.0f;
            if (level > 1.0f) level = 1.0f;
            if (level < 0.0f) level = 0.0f;
            shades[y * shade_stride + x] = static_cast<std::uint8_t>(255.0f * level);
        }
    }
}
