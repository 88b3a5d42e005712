// gridshow on a virtual X display under the window managers of real
// desktops (openbox, xfwm4), and where no display can show it: the show keeps
// its timing, its sound and its slides beyond the screen's edges whatever the
// manager does, closes, minimises and restores as on Windows, and without a
// display fails at once with the start-up's failure lines. Skipped where
// Xvfb, xdotool, D-Bus or the manager is not installed.
#include "platform/core/nonclient.h"
#include "tests/program/expected_log.h"
#include "tests/sdl/x_session.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int screen_width = 1920;
constexpr int window_width = 1536; // 80 % of the screen
constexpr int window_height = 864;
constexpr int home_x = 192;

struct ShowRun {
    int exit_code = -1;
    double seconds = 0;
    std::string log;   // without the host's counters
    std::string stats; // the host's counters (GRIDSHOW_SDL_STATS)
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs gridshow on `screen` with the dummy audio driver, calling `step` with
// the seconds since the start every 20 ms until it ends (killed after
// `limit` s).
ShowRun run_show(const VirtualDisplay& screen, ShowWindowWatch& watch, int limit,
                 const std::function<void(double)>& step) {
    auto begin = std::chrono::steady_clock::now();
    Child show =
        start({GRIDSHOW_SDL_PATH},
              {screen.variable, "SDL_VIDEODRIVER", "SDL_AUDIODRIVER=dummy", "GRIDSHOW_SDL_STATS=1"},
              STDERR_FILENO);
    ShowRun result;
    for (bool ended = false; !ended;) {
        result.exit_code = poll_exit(show, &ended);
        watch.take_events();
        if (ended) break;
        if (seconds_since(begin) > limit) {
            result.exit_code = wait_for(show, 0);
            break;
        }
        step(seconds_since(begin));
        usleep(20000);
    }
    result.seconds = seconds_since(begin);
    result.log = read_all(show.output);
    std::string::size_type stats = result.log.find("sdl host: ");
    if (stats != std::string::npos) {
        result.stats = result.log.substr(stats);
        result.log.erase(stats);
    }
    return result;
}

// The count in the host's counters that precedes `what`.
long long stat(const std::string& stats, const char* what) {
    std::string::size_type at = stats.find(what);
    if (at == std::string::npos) return -1;
    std::string::size_type begin = stats.rfind(' ', at - 2);
    return std::strtoll(stats.c_str() + (begin == std::string::npos ? 0 : begin + 1), nullptr, 10);
}

class UnderWindowManager : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (!installed("Xvfb") || !installed("xdotool") || !installed("dbus-run-session") ||
            !installed(GetParam()))
            GTEST_SKIP() << "needs Xvfb, xdotool, dbus-run-session and " << GetParam();
        screen = std::make_unique<VirtualDisplay>("1920x1080x24", GetParam());
        ASSERT_FALSE(screen->variable.empty()) << GetParam() << " did not start on Xvfb";
        watch = std::make_unique<ShowWindowWatch>(screen->name, window_width, window_height);
    }

    void xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"timeout", "20", "xdotool"});
        run(arguments, {screen->variable});
    }
    void click(int x, int y) {
        xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"});
    }
    // The window has ended its slide-in once it stays at its home for a
    // while (the bounces only touch it).
    bool settled(double now) {
        if (!watch->mapped || watch->x != home_x) at_home_since = -1;
        if (watch->mapped && watch->x == home_x && at_home_since < 0) at_home_since = now;
        return at_home_since >= 0 && now - at_home_since > 0.5;
    }
    void click_caption_button(int buttons_from_the_right) {
        click(home_x + window_width - buttons_from_the_right * caption_button_width +
                  caption_button_width / 2,
              watch->y + caption_height / 2);
    }

    std::unique_ptr<VirtualDisplay> screen;
    std::unique_ptr<ShowWindowWatch> watch;
    double at_home_since = -1;
};

TEST_P(UnderWindowManager, PlaysTheWholeShowOnTimeWithoutDropoutsAndSlidesBeyondTheEdges) {
    // The undisturbed run: the same show at the same time on a display
    // without a window manager, under the same load of the machine.
    VirtualDisplay plain("1920x1080x24");
    ASSERT_FALSE(plain.variable.empty()) << "Xvfb did not start";
    auto begin = std::chrono::steady_clock::now();
    Child undisturbed =
        start({GRIDSHOW_SDL_PATH},
              {plain.variable, "SDL_VIDEODRIVER", "SDL_AUDIODRIVER=dummy", "GRIDSHOW_SDL_STATS=1"},
              STDERR_FILENO);
    double undisturbed_seconds = -1;
    auto note_undisturbed_end = [&] {
        bool ended = false;
        if (undisturbed_seconds < 0) poll_exit(undisturbed, &ended);
        if (ended) undisturbed_seconds = seconds_since(begin);
    };
    ShowRun show = run_show(*screen, *watch, 120, [&](double) { note_undisturbed_end(); });
    while (undisturbed_seconds < 0 && seconds_since(begin) < 120) {
        note_undisturbed_end();
        usleep(20000);
    }
    if (undisturbed_seconds < 0) wait_for(undisturbed, 0);
    std::string undisturbed_stats = read_all(undisturbed.output);
    std::printf("under %s: %.2f s; %swithout: %.2f s; %s", GetParam(), show.seconds,
                show.stats.c_str(), undisturbed_seconds, undisturbed_stats.c_str());
    EXPECT_EQ(show.exit_code, 0);
    EXPECT_EQ(show.log, std::string(started_log) + whole_show_log);
    // None runs dry on a quiet machine. A machine so loaded that it stalls
    // the undisturbed run too may cost a few more; a manager that holds the
    // loop up costs hundreds.
    EXPECT_LE(stat(show.stats, "ran dry"), stat(undisturbed_stats, "ran dry") + 12) << show.stats;
    EXPECT_NEAR(show.seconds, undisturbed_seconds, 1.0);
    EXPECT_TRUE(watch->unmanaged) << "the window manager took the window over";
    EXPECT_LE(watch->leftmost + window_width, 8) << "entered from (almost) wholly beyond the left";
    EXPECT_GE(watch->rightmost, screen_width - 8) << "left (almost) wholly beyond the right";
}

TEST_P(UnderWindowManager, TheCaptionsCloseButtonEndsTheShowThroughTheTeardown) {
    bool clicked = false;
    ShowRun show = run_show(*screen, *watch, 60, [&](double now) {
        if (clicked || !settled(now)) return;
        click_caption_button(1);
        clicked = true;
    });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(show.exit_code, 0);
    EXPECT_EQ(show.log, std::string(started_log) + deinitialized_log);
}

// Minimised, the window leaves a stand-in that the desktop lists as
// minimised; activating it brings the show back, which still takes Escape.
TEST_P(UnderWindowManager, MinimisesRestoresFromTheDesktopAndEndsOnEscape) {
    enum { Sliding, Minimised, Restored } stage = Sliding;
    double since = 0;
    std::string stand_in;
    ShowRun show = run_show(*screen, *watch, 90, [&](double now) {
        if (stage == Sliding && settled(now)) {
            click_caption_button(2);
            stage = Minimised;
            since = now;
        } else if (stage == Minimised && !watch->mapped && now - since > 1) {
            Child search = start({"timeout", "20", "xdotool", "search", "--name", "^gridshow$"},
                                 {screen->variable}, STDOUT_FILENO);
            std::string found = read_all(search.output);
            wait_for(search, 20);
            for (std::string::size_type at = 0; at < found.size();) {
                std::string::size_type end = found.find('\n', at);
                std::string id = found.substr(at, end - at);
                if (!id.empty() && std::stoul(id) != watch->window) stand_in = id;
                at = end == std::string::npos ? found.size() : end + 1;
            }
            if (!stand_in.empty()) xdotool({"windowactivate", stand_in});
            stage = Restored;
            since = now;
        } else if (stage == Restored && watch->mapped && now - since > 1) {
            // Click into the window, as a user would, then Escape; again
            // after a while if it went nowhere.
            click(home_x + window_width / 2, watch->y + window_height / 2);
            xdotool({"key", "Escape"});
            since = now;
        }
    });
    EXPECT_FALSE(stand_in.empty()) << "no stand-in window for the minimised show";
    EXPECT_EQ(watch->maps, 2) << "shown, then shown again on the restore";
    EXPECT_EQ(show.exit_code, 0);
    EXPECT_EQ(show.log, std::string(started_log) + deinitialized_log);
}

INSTANTIATE_TEST_SUITE_P(Desktops, UnderWindowManager, testing::Values("openbox", "xfwm4"));

TEST(NoDisplay, TheWindowCannotBeCreatedAndTheProgramSaysWhyAtOnce) {
    // A display number no server uses.
    int unused = 900;
    while (access(("/tmp/.X11-unix/X" + std::to_string(unused)).c_str(), F_OK) == 0 ||
           access(("/tmp/.X" + std::to_string(unused) + "-lock").c_str(), F_OK) == 0)
        ++unused;
    struct Case {
        std::vector<std::string> environment;
        std::string why;
    } cases[] = {
        {{"DISPLAY", "WAYLAND_DISPLAY"}, "DISPLAY is not set"},
        {{"DISPLAY=:" + std::to_string(unused), "WAYLAND_DISPLAY"},
         "cannot open display :" + std::to_string(unused)},
        {{"SDL_VIDEODRIVER=dummy"}, "the video driver \"dummy\" shows no windows"},
    };
    for (Case& no_display : cases) {
        no_display.environment.emplace_back("SDL_AUDIODRIVER=dummy");
        Child show = start({GRIDSHOW_SDL_PATH}, no_display.environment, STDERR_FILENO);
        EXPECT_EQ(wait_for(show, 5), 1) << no_display.why;
        EXPECT_EQ(read_all(show.output), "No display to show the window on: " + no_display.why +
                                             ".\n" + startup_failure_lines);
    }
}

} // namespace
