// gridshow itself on the SDL2 host, on a virtual X display (Xvfb) with SDL's
// dummy audio: the window appears, Escape ends the show through its teardown.
// Skipped where Xvfb or xdotool is not installed.
#include "tests/sdl/x_session.h"
#include <gtest/gtest.h>

namespace {

TEST(SdlProgram, ShowsItsWindowAndEndsOnEscapeThroughTheTeardown) {
    if (!installed("Xvfb") || !installed("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
    VirtualDisplay screen("1280x720x24");
    ASSERT_FALSE(screen.variable.empty()) << "Xvfb did not start";
    std::string display = screen.variable;

    Child show = start({GRIDSHOW_SDL_PATH},
                       {display, "SDL_AUDIODRIVER=dummy", "SDL_VIDEODRIVER",
                        "LSAN_OPTIONS=print_suppressions=0:suppressions=" LSAN_SUPPRESSIONS},
                       STDERR_FILENO);
    Child search = start(
        {"timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--name", "gridshow"},
        {display}, STDOUT_FILENO);
    std::string found = read_all(search.output);
    wait_for(search, 30);
    std::string window = found.substr(0, found.find('\n'));
    EXPECT_FALSE(window.empty()) << "no gridshow window appeared";
    EXPECT_EQ(run({"timeout", "30", "xdotool", "windowfocus", "--sync", window}, {display}), 0);
    EXPECT_EQ(run({"timeout", "30", "xdotool", "key", "Escape"}, {display}), 0);

    std::string log = read_all(show.output);
    EXPECT_EQ(wait_for(show, 30), 0);
    EXPECT_EQ(log, "Audio initialized successfully using embedded data.\nAudio deinitialized.\n");
}

} // namespace
