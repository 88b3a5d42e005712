// gridshow built with ThreadSanitizer plays the whole show on a virtual X
// display without a window manager, with SDL's dummy audio: the message loop,
// SDL's audio thread and the presenting thread share nothing unguarded, up to
// the process's end with its window and device still open. Any report lands on
// standard error, so the log must be the plain one. Skipped where Xvfb is not
// installed.
#include "tests/program/expected_log.h"
#include "tests/sdl/x_session.h"
#include <gtest/gtest.h>

namespace {

TEST(UnderThreadSanitizer, PlaysTheWholeShowAndEndsWithoutAReport) {
    if (!installed("Xvfb")) GTEST_SKIP() << "needs Xvfb";
    VirtualDisplay screen("1280x720x24");
    ASSERT_FALSE(screen.variable.empty()) << "Xvfb did not start";
    // After main ends the other threads run on for a second (atexit_sleep_ms),
    // so that whatever they touch of what the exit takes down is seen every
    // time, not only when a callback happens to fall into the exit.
    Child show = start({GRIDSHOW_SDL_PATH},
                       {screen.variable, "SDL_VIDEODRIVER", "SDL_AUDIODRIVER=dummy",
                        "TSAN_OPTIONS=atexit_sleep_ms=1000 exitcode=66"},
                       STDERR_FILENO);
    std::string log = read_all(show.output);
    EXPECT_EQ(wait_for(show, 30), 0);
    EXPECT_EQ(log, std::string(started_log) + whole_show_log);
}

} // namespace
