// The whole program through gridshow-headless, as a child process: how the
// start-up ends when the main window cannot be created, and how the user's
// keys and mouse reach (or do not reach) the show.
#include "player/mod_loader.h"
#include "player/module.h"
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// Every row of the creation failures is checked in process (main_window_test);
// this one goes through the executable and its --module seam.
TEST(DriverRun, ASongThatFailsToLoadEndsTheProgramWithCode1) {
    // XM data, which the loader recognises and refuses with a reason.
    std::string xm = "Extended Module: ";
    xm.resize(400, '\0');
    std::string dir = make_temp_dir("gridshow-module");
    std::string path = dir + "/refused.xm";
    std::ofstream(path, std::ios::binary) << xm;
    char message[load_message_size] = {};
    Module* module =
        module_load(reinterpret_cast<const std::uint8_t*>(xm.data()), xm.size(), message);
    ASSERT_EQ(module, nullptr);

    DriverRun run = run_driver({"--module", path});
    EXPECT_EQ(run.error_output, "player.module_load failed: " + std::string(message) +
                                    "\n"
                                    "Audio initialization failed: error.ModuleLoadFailed\n"
                                    "Audio deinitialized.\n" +
                                    startup_failure_lines);
    EXPECT_EQ(run.exit_code, 1);
    std::filesystem::remove_all(dir);
}

struct Closing {
    const char* name;
    const char* press;  // KEY@TICK
    const char* phase;  // the show's phase after that tick
    int show_log_lines; // lines of the show's log written up to that tick
};

// Every phase, and every way to close: keys reach the active window wherever
// it stands, the close button only while it is on the screen, the desktop's
// close request always.
const Closing closings[] = {
    {"EscapeWhileSlidingIn", "escape@100", "WindowSlidingIn", 0},
    {"CloseButtonWhileSlidingIn", "close@100", "WindowSlidingIn", 0},
    {"AltF4WhileSlidingIn", "altf4@100", "WindowSlidingIn", 0},
    {"CloseRequestOnTheFirstTick", "closerequest@1", "WindowSlidingIn", 0},
    {"CloseRequestBeforeTheFirstRebuild", "closerequest@313", "GridResizing", 0},
    {"EscapeOnTheFirstGrowInTick", "escape@314", "GridScalingUp", 0},
    {"CloseRequestWhileGrowingIn", "closerequest@400", "GridScalingUp", 0},
    {"AltF4DuringTheFirstEffect", "altf4@700", "EffectRunning", 0},
    {"CloseRequestOnTheHandOverTick", "closerequest@984", "GridScalingDown", 1},
    {"EscapeBeforeTheSecondRebuild", "escape@985", "GridResizing", 2},
    {"CloseButtonWhileTheSecondGridGrowsIn", "close@1000", "GridScalingUp", 2},
    {"CloseButtonDuringTheSecondEffect", "close@1200", "EffectRunning", 2},
    {"CloseRequestDuringTheThirdEffect", "closerequest@2000", "EffectRunning", 4},
    {"CloseButtonDuringTheLastEffect", "close@3000", "EffectRunning", 6},
    {"CloseRequestOnTheFirstScrollOutTick", "closerequest@3441", "WindowScrollingOut", 8},
    {"AltF4WhileScrollingOut", "altf4@3600", "WindowScrollingOut", 8},
    {"CloseRequestOnTheLastScrollOutTick", "closerequest@3941", "WindowScrollingOut", 8},
};

void PrintTo(const Closing& closing, std::ostream* out) {
    *out << closing.press;
}

class DriverClosing : public testing::TestWithParam<Closing> {};

TEST_P(DriverClosing, TearsDownAndExitsWithCode0) {
    DriverRun run = run_driver({"--press", GetParam().press});
    EXPECT_EQ(run.error_output,
              started_log + show_log_lines(GetParam().show_log_lines) + deinitialized_log);
    EXPECT_EQ(run.exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryWayInEachPhase, DriverClosing, testing::ValuesIn(closings),
                         [](const testing::TestParamInfo<Closing>& info) {
                             return info.param.name;
                         });

// The show's own end posts the quit message with its last tick, so a close
// requested after that tick comes too late: the loop ends, no teardown runs.
// The same run shows that each closing above falls in the phase it names.
TEST(DriverRun, ACloseRequestAfterTheLastTickComesTooLateAndEveryClosingFallsInItsPhase) {
    DriverRun run = run_driver({"--press", "closerequest@3942", "--every", "100000"}, true);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.error_output, std::string(started_log) + whole_show_log);
    std::vector<std::vector<std::string>> timeline = read_timeline(run.capture_dir);
    ASSERT_EQ(timeline.size(), 3943u) << "a header and 3942 ticks";
    EXPECT_EQ(timeline.back()[1], "ShowFinished");
    for (const Closing& closing : closings) {
        std::uint64_t tick = std::stoull(std::strchr(closing.press, '@') + 1);
        EXPECT_EQ(timeline[tick][1], closing.phase) << closing.name;
    }
    std::filesystem::remove_all(run.capture_dir);
}

TEST(DriverRun, OtherKeysAndCaptionDragsChangeNothing) {
    // After the slide-in the show keeps the window's x, so a move would last.
    DriverRun plain = run_driver({"--press", "escape@600"}, true);
    DriverRun touched = run_driver(
        {"--press", "drag@400", "--press", "a@450", "--press", "drag@500", "--press", "escape@600"},
        true);
    EXPECT_EQ(touched.exit_code, 0);
    EXPECT_EQ(touched.error_output, plain.error_output);
    std::vector<std::vector<std::string>> plain_timeline = read_timeline(plain.capture_dir);
    std::vector<std::vector<std::string>> touched_timeline = read_timeline(touched.capture_dir);
    ASSERT_GT(plain_timeline.size(), 600u);
    ASSERT_EQ(touched_timeline.size(), plain_timeline.size());
    for (std::size_t row = 0; row < plain_timeline.size(); ++row) {
        ASSERT_EQ(touched_timeline[row], plain_timeline[row]) << "timeline row " << row;
    }
    std::filesystem::remove_all(plain.capture_dir);
    std::filesystem::remove_all(touched.capture_dir);
}

} // namespace
