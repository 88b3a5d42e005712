// The show as the viewer sees it, on two screen sizes: where the window stands
// and when, how the grid is laid out and grows in, and what the effects put on
// the composed screen.
#include "tests/common/png_image.h"
#include "tests/program/run_driver.h"
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

constexpr std::uint32_t desktop = 0x3A6EA5;
constexpr int caption = 31; // the layer's caption bar above the client area
// Frames every 83 ticks land on tick 415, 100 ticks after the first banner's
// first call (tick 315), and inside every effect.
constexpr int every = 83;

struct Screen {
    int width, height;      // the screen
    int window_w, window_h; // 80 % of it
    int home_x, home_y;
};

void PrintTo(const Screen& screen, std::ostream* out) {
    *out << screen.width << "x" << screen.height;
}

const Screen screens[] = {{1920, 1080, 1536, 864, 192, 108}, {1366, 768, 1092, 614, 137, 77}};

struct Tick {
    std::string phase;
    int effect;
    double effect_time;
    int x, y;
};

struct ShowRun {
    DriverRun run;
    std::vector<Tick> ticks; // ticks[0] is tick 1

    const Tick& at(std::size_t tick) const { return ticks.at(tick - 1); }
    PngImage frame(std::size_t tick) const {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05zu.png", tick);
        return read_png(run.capture_dir + name);
    }
    // The first captured tick in `phase` showing `effect`, or 0.
    std::size_t frame_tick(const std::string& phase, int effect) const {
        for (std::size_t t = every; t <= ticks.size(); t += every)
            if (at(t).phase == phase && at(t).effect == effect) return t;
        return 0;
    }
};

// One run per screen width, its capture removed when the tests end.
struct ShowRuns {
    std::map<int, ShowRun> by_width;
    ~ShowRuns() {
        for (auto& [width, show] : by_width) std::filesystem::remove_all(show.run.capture_dir);
    }
};

const ShowRun& show_on(const Screen& screen) {
    static ShowRuns runs;
    auto found = runs.by_width.find(screen.width);
    if (found != runs.by_width.end()) return found->second;
    ShowRun& show = runs.by_width[screen.width];
    show.run =
        run_driver({"--screen", std::to_string(screen.width) + "x" + std::to_string(screen.height),
                    "--every", std::to_string(every)},
                   true);
    const auto rows = read_timeline(show.run.capture_dir);
    for (std::size_t i = 1; i < rows.size(); ++i)
        show.ticks.push_back({rows[i][1], std::stoi(rows[i][2]), std::stod(rows[i][3]),
                              std::stoi(rows[i][5]), std::stoi(rows[i][6])});
    return show;
}

// Where cell (r, c) of a cols x rows grid lies in a client area.
struct Layout {
    int client_w, client_h, cols, rows;
    int cw() const { return client_w / cols; }
    int ch() const { return client_h / rows; }
    int left(int c) const { return c * cw() + client_w % cols / 2; }
    int top(int r) const { return r * ch() + client_h % rows / 2; }
};

// The colour at the middle of a cell, the window's top-left at (x, y).
std::uint32_t cell_centre(const PngImage& frame, const Tick& tick, const Layout& layout, int r,
                          int c) {
    return frame.at(tick.x + layout.left(c) + layout.cw() / 2,
                    tick.y + caption + layout.top(r) + layout.ch() / 2);
}

std::uint32_t grey(int level) {
    return std::uint32_t(level) * 0x010101u;
}

int plasma_shade(double t, int x, int y) {
    const double a = std::sin(t / 5) * 0.5, b = std::cos(t / 3) * 0.5;
    const double wx = std::sin(x * 1.1 + t);
    const double wy = std::sin(1.1 * y + t * 0.5 + wx);
    const double d = std::sqrt((y + b) * (y + b) + (a + x) * (a + x));
    const double wr = std::sin(1.1 * d * 0.2 + t);
    return int(255 * std::fmin(std::fmax((wy + wx + wr + 3) / 6, 0.0), 1.0));
}

class ShowGeometry : public testing::TestWithParam<Screen> {
  protected:
    const Screen& screen() const { return GetParam(); }
    const ShowRun& show() const { return show_on(screen()); }
    Layout layout(int cols, int rows) const {
        return {screen().window_w, screen().window_h - caption, cols, rows};
    }
    // Ticks of `phase` in a row from `first`.
    std::size_t run_length(std::size_t first, const std::string& phase) const {
        std::size_t t = first;
        while (t <= show().ticks.size() && show().at(t).phase == phase) ++t;
        return t - first;
    }

    void runs_to_its_natural_end() const {
        EXPECT_EQ(show().run.exit_code, 0);
        ASSERT_FALSE(show().ticks.empty());
        EXPECT_EQ(show().ticks.back().phase, "ShowFinished");
    }

    void window_is_80_percent_centred_at_home() const {
        const std::size_t t = show().frame_tick("EffectRunning", 1);
        ASSERT_NE(t, 0u);
        ASSERT_EQ(show().at(t).x, screen().home_x);
        ASSERT_EQ(show().at(t).y, screen().home_y);
        const PngImage frame = show().frame(t);
        ASSERT_EQ(frame.width, screen().width);
        const int left = screen().home_x, right = left + screen().window_w - 1;
        const int top = screen().home_y, bottom = top + screen().window_h - 1;
        const int mid_x = (left + right) / 2, mid_y = (top + bottom) / 2;
        EXPECT_EQ(frame.at(left - 1, mid_y), desktop);
        EXPECT_NE(frame.at(left, mid_y), desktop);
        EXPECT_NE(frame.at(right, mid_y), desktop);
        EXPECT_EQ(frame.at(right + 1, mid_y), desktop);
        EXPECT_EQ(frame.at(mid_x, top - 1), desktop);
        EXPECT_NE(frame.at(mid_x, top), desktop);
        EXPECT_NE(frame.at(mid_x, bottom), desktop);
        EXPECT_EQ(frame.at(mid_x, bottom + 1), desktop);
    }

    void slide_in_reaches_home_on_tick_313() const {
        EXPECT_EQ(show().at(1).x, -screen().window_w + 1); // the bounce starts gently
        for (std::size_t t = 1; t < 313; ++t) {
            ASSERT_EQ(show().at(t).phase, "WindowSlidingIn") << t;
            ASSERT_NE(show().at(t).x, screen().home_x) << t;
            ASSERT_EQ(show().at(t).y, screen().home_y) << t;
        }
        EXPECT_EQ(show().at(313).x, screen().home_x);
        EXPECT_EQ(show().at(313).phase, "GridResizing");
    }

    void scroll_out_reaches_screen_width_on_its_501st_tick() const {
        std::size_t entered = 0;
        while (show().at(++entered).phase != "WindowScrollingOut") {}
        const std::size_t last = entered + 501;
        ASSERT_EQ(show().ticks.size(), last);
        EXPECT_EQ(show().at(last - 1).phase, "WindowScrollingOut");
        EXPECT_LT(show().at(last - 1).x, screen().width);
        EXPECT_EQ(show().at(last).x, screen().width);
        EXPECT_EQ(show().at(last).y, screen().home_y);
    }

    void window_bobs_only_with_the_banners() const {
        std::map<int, std::set<int>> tops;
        for (const Tick& tick : show().ticks)
            if (tick.phase == "EffectRunning") tops[tick.effect].insert(tick.y - screen().home_y);
        EXPECT_EQ(tops[0], (std::set<int>{0, 4}));
        EXPECT_EQ(tops[1], (std::set<int>{0}));
        EXPECT_EQ(tops[2], (std::set<int>{0}));
        EXPECT_EQ(tops[3], (std::set<int>{0, 4}));
        // The hand-over tick still follows the banner that finished; the next one
        // leaves the bob.
        for (std::size_t t = 1; t < show().ticks.size(); ++t) {
            if (show().at(t).phase != "GridScalingDown") continue;
            const int bob = show().at(t - 1).y - screen().home_y;
            const bool after_banner = show().at(t).effect == 1;
            EXPECT_EQ(show().at(t).y - screen().home_y, after_banner ? bob : 0) << t;
            EXPECT_EQ(show().at(t + 1).y, screen().home_y) << t;
        }
    }

    void each_grid_grows_in_for_its_diagonals_plus_0_6_s() const {
        // (cols + rows - 2) x 0.08 + 0.6 s in 0.016 s ticks: 2.44, 1.24, 2.84, 2.6.
        const std::size_t expected[] = {153, 78, 178, 163};
        int grid = 0;
        for (std::size_t t = 1; t < show().ticks.size(); ++t) {
            if (show().at(t).phase != "GridResizing") continue;
            ASSERT_LT(grid, 4);
            // Tick t + 1 rebuilds and already shows GridScalingUp; the grow-in's
            // last tick already shows EffectRunning.
            EXPECT_EQ(run_length(t + 1, "GridScalingUp"), expected[grid]) << "grid " << grid;
            ++grid;
        }
        EXPECT_EQ(grid, 4);
    }

    void first_banner_shows_character_3_a_hundred_ticks_in() const {
        const Tick& tick = show().at(415);
        ASSERT_EQ(tick.phase, "GridScalingUp");
        const PngImage frame = show().frame(415);
        ASSERT_GT(frame.width, 0);
        // 'o' from column -1, text top at row 1: its rows 2 and 3 in grid rows 3 and 4.
        const Layout grid = layout(16, 9);
        const int row3[] = {255, 255, 255, 255, 0}, row4[] = {255, 0, 0, 255, 255, 0};
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(cell_centre(frame, tick, grid, 3, c), grey(row3[c])) << c;
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(cell_centre(frame, tick, grid, 4, c), grey(row4[c])) << c;
    }

    void banners_use_their_shades_and_the_picture_crosses() const {
        const std::set<std::uint32_t> allowed[] = {{grey(0), grey(100), grey(255)},
                                                   {grey(0), grey(100), grey(192)}};
        bool picture_seen[2] = {}, text_seen[2] = {};
        for (std::size_t t = every; t <= show().ticks.size(); t += every) {
            const Tick& tick = show().at(t);
            if (tick.phase != "EffectRunning" || (tick.effect != 0 && tick.effect != 3)) continue;
            const int banner = tick.effect == 0 ? 0 : 1;
            const Layout grid = banner == 0 ? layout(16, 9) : layout(20, 7);
            const PngImage frame = show().frame(t);
            for (int r = 0; r < grid.rows; ++r)
                for (int c = 0; c < grid.cols; ++c) {
                    const std::uint32_t colour = cell_centre(frame, tick, grid, r, c);
                    ASSERT_TRUE(allowed[banner].count(colour))
                        << "tick " << t << " cell " << r << "," << c << " colour " << colour;
                    picture_seen[banner] |= colour == grey(100);
                    text_seen[banner] |= colour == grey(banner == 0 ? 255 : 192);
                }
        }
        EXPECT_TRUE(picture_seen[0] && picture_seen[1]);
        EXPECT_TRUE(text_seen[0] && text_seen[1]);
    }

    void figure_stands_in_the_5_by_5_grid() const {
        const std::size_t t = show().frame_tick("EffectRunning", 1);
        ASSERT_NE(t, 0u);
        const PngImage frame = show().frame(t);
        const char* figure[] = {".....", "..#..", ".#.#.", "#####", "#...#"};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                EXPECT_EQ(cell_centre(frame, show().at(t), layout(5, 5), r, c),
                          grey(figure[r][c] == '#' ? 255 : 0))
                    << r << "," << c;
    }

    void plasma_fills_every_cell_of_its_laid_out_grid() const {
        const std::size_t t = show().frame_tick("EffectRunning", 2);
        ASSERT_NE(t, 0u);
        const Tick& tick = show().at(t);
        const PngImage frame = show().frame(t);
        const Layout grid = layout(16, 14);
        for (int r = 0; r < 14; ++r)
            for (int c = 0; c < 16; ++c) {
                const int shade = int(cell_centre(frame, tick, grid, r, c) & 0xFF);
                EXPECT_NEAR(shade, plasma_shade(tick.effect_time, c, r), 1) << r << "," << c;
                // Each cell's border frame starts on its rectangle's left edge.
                EXPECT_EQ(frame.at(tick.x + grid.left(c), tick.y + caption + grid.top(r) + 5), 0u)
                    << r << "," << c;
            }
    }
};

// Each test process runs the show afresh, so one test per screen checks it all.
TEST_P(ShowGeometry, WindowGridAndEffectsFollowTheTimeline) {
    runs_to_its_natural_end();
    window_is_80_percent_centred_at_home();
    slide_in_reaches_home_on_tick_313();
    scroll_out_reaches_screen_width_on_its_501st_tick();
    window_bobs_only_with_the_banners();
    each_grid_grows_in_for_its_diagonals_plus_0_6_s();
    first_banner_shows_character_3_a_hundred_ticks_in();
    banners_use_their_shades_and_the_picture_crosses();
    figure_stands_in_the_5_by_5_grid();
    plasma_fills_every_cell_of_its_laid_out_grid();
}

INSTANTIATE_TEST_SUITE_P(Screens, ShowGeometry, testing::ValuesIn(screens),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

} // namespace
