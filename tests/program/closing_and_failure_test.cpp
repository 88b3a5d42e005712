// The whole program through gridshow-headless, as a child process: how the
// start-up ends when the main window cannot be created, and how the user's
// keys and mouse reach (or do not reach) the show.
#include "player/module.h"
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <gtest/gtest.h>

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
    const char* press;      // KEY@TICK
    const char* log_so_far; // the show's lines before that tick
};

class DriverClosing : public testing::TestWithParam<Closing> {};

TEST_P(DriverClosing, TearsDownAndExitsWithCode0) {
    DriverRun run = run_driver({"--press", GetParam().press});
    EXPECT_EQ(run.error_output,
              std::string(started_log) + GetParam().log_so_far + "Audio deinitialized.\n");
    EXPECT_EQ(run.exit_code, 0);
}

// Ticks 1..312 slide the window in, 314..466 grow the first grid in, effect 1
// runs around tick 1200, and the window scrolls out from tick 3441.
INSTANTIATE_TEST_SUITE_P(
    EveryWayInEachPhase, DriverClosing,
    testing::Values(Closing{"EscapeWhileSlidingIn", "escape@100", ""},
                    Closing{"CloseButtonWhileSlidingIn", "close@100", ""},
                    Closing{"AltF4WhileSlidingIn", "altf4@100", ""},
                    Closing{"EscapeWhileGrowingIn", "escape@400", ""},
                    Closing{"CloseButtonDuringAnEffect", "close@1200", first_hand_over_log},
                    Closing{"AltF4WhileScrollingOut", "altf4@3600", whole_show_log}),
    [](const testing::TestParamInfo<Closing>& info) { return info.param.name; });

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
