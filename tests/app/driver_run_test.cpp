// The whole program through gridshow-headless, as a child process: how the
// start-up ends when the main window cannot be created, and how the user's
// keys and mouse reach (or do not reach) the show.
#include "player/module.h"
#include "tests/program/run_driver.h"
#include <gtest/gtest.h>

namespace {

const char* const startup_failure_lines = "Failed to create main window\n"
                                          "error: WindowCreationError\n";

TEST(DriverRun, ADeviceThatWillNotOpenEndsTheProgramWithCode1) {
    DriverRun run = run_driver({"--fail", "waveOutOpen=2"});
    EXPECT_EQ(run.error_output, std::string("waveOutOpen failed: 2\n"
                                            "Audio initialization failed: error.WaveOutOpenFailed\n"
                                            "Audio deinitialized.\n") +
                                    startup_failure_lines);
    EXPECT_EQ(run.exit_code, 1);
}

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

class DriverClosing : public testing::TestWithParam<const char*> {};

TEST_P(DriverClosing, TearsDownAndExitsWithCode0) {
    DriverRun run = run_driver({"--press", std::string(GetParam()) + "@100"});
    EXPECT_EQ(run.error_output, "Audio initialized successfully using embedded data.\n"
                                "Audio deinitialized.\n");
    EXPECT_EQ(run.exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, DriverClosing, testing::Values("escape", "close", "altf4"));

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
