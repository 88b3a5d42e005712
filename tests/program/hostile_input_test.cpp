// Input and messages that no user or system would send, through
// gridshow-headless: each disturbed run must leave the show, its sound and
// its last picture exactly as an undisturbed run has them, and Escape
// however often pressed closes the program once.
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>

namespace {

constexpr int closing_tick = 760; // within the first effect

// The timeline without its tick column, each state once: the driver counts
// every dispatched WM_TIMER as a tick, so a batch of foreign timer messages
// shows up as one more look at the same state.
std::vector<std::vector<std::string>> states_of(const std::string& capture_dir) {
    std::vector<std::vector<std::string>> states;
    for (const std::vector<std::string>& row : read_timeline(capture_dir)) {
        std::vector<std::string> state(row.begin() + 1, row.end());
        if (states.empty() || states.back() != state) states.push_back(state);
    }
    return states;
}

// The picture of the last tick: the only frame when frames are rare.
std::string last_frame(const std::string& capture_dir) {
    for (const auto& entry : std::filesystem::directory_iterator(capture_dir)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("frame-", 0) == 0) return read_file(entry.path().string());
    }
    return {};
}

struct Disturbance {
    const char* name;
    std::vector<std::string> arguments;
    int foreign_timer_batches;
};

void PrintTo(const Disturbance& disturbance, std::ostream* out) {
    *out << disturbance.name;
}

class DisturbedRun : public testing::TestWithParam<Disturbance> {};

TEST_P(DisturbedRun, ShowsAndPlaysExactlyWhatAnUndisturbedRunDoes) {
    const Disturbance& disturbance = GetParam();
    DriverRun plain = run_driver(
        {"--press", "escape@" + std::to_string(closing_tick), "--every", "100000"}, true);
    std::vector<std::string> arguments = disturbance.arguments;
    arguments.insert(arguments.end(),
                     {"--press",
                      "escape@" + std::to_string(closing_tick + disturbance.foreign_timer_batches),
                      "--every", "100000"});
    DriverRun disturbed = run_driver(arguments, true);

    EXPECT_EQ(plain.error_output, std::string(started_log) + deinitialized_log);
    EXPECT_EQ(disturbed.error_output, plain.error_output);
    EXPECT_EQ(disturbed.exit_code, 0);
    std::vector<std::vector<std::string>> plain_states = states_of(plain.capture_dir);
    std::vector<std::vector<std::string>> disturbed_states = states_of(disturbed.capture_dir);
    ASSERT_GT(plain_states.size(), std::size_t{closing_tick});
    ASSERT_EQ(disturbed_states.size(), plain_states.size());
    for (std::size_t row = 0; row < plain_states.size(); ++row)
        ASSERT_EQ(disturbed_states[row], plain_states[row]) << "state " << row;
    EXPECT_TRUE(read_file(disturbed.capture_dir + "/show.wav") ==
                read_file(plain.capture_dir + "/show.wav"))
        << "the sound differs";
    std::string plain_frame = last_frame(plain.capture_dir);
    EXPECT_FALSE(plain_frame.empty());
    EXPECT_TRUE(last_frame(disturbed.capture_dir) == plain_frame) << "the last picture differs";
    std::filesystem::remove_all(plain.capture_dir);
    std::filesystem::remove_all(disturbed.capture_dir);
}

// Ticks 1..312 slide the window in, 314..466 grow the 16 x 9 grid in, the
// first effect runs from tick 467.
INSTANTIATE_TEST_SUITE_P(
    Hostile, DisturbedRun,
    testing::Values(
        // Other timer ids (and a forged timer procedure) to the main window and
        // every cell, while sliding in, growing in and during the effect.
        Disturbance{"ForeignTimers",
                    {"--post", "timers@100", "--post", "timers@350", "--post", "timers@700"},
                    3},
        // Block-done notices naming no block, or a block the device still holds.
        Disturbance{
            "ForeignBlockNotices", {"--post", "foreigndone@50", "--post", "foreigndone@500"}, 0},
        Disturbance{"RepeatedBlockNotices",
                    {"--post", "staledone@60", "--post", "staledone@61", "--post", "staledone@500"},
                    0},
        Disturbance{
            "KeyStorms",
            {"--press", "keystorm@200", "--press", "keystorm@400", "--press", "keystorm@600"},
            0},
        Disturbance{
            "MinimisedDuringTheGrowIn", {"--press", "minimize@330", "--press", "restore@420"}, 0},
        // Minimised while the grid is rebuilt for the first time.
        Disturbance{"MinimisedOverTheFirstRebuild",
                    {"--press", "minimize@312", "--press", "restore@330"},
                    0}),
    [](const testing::TestParamInfo<Disturbance>& info) { return info.param.name; });

class EscapeStorm : public testing::TestWithParam<int> {};

TEST_P(EscapeStorm, ClosesTheProgramOnce) {
    DriverRun run = run_driver({"--press", "escapestorm@" + std::to_string(GetParam())});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.error_output, std::string(started_log) +
                                    show_log_lines(GetParam() < 985 ? 0 : 2) + deinitialized_log);
}

// Sliding in, growing in, and on the tick before the second rebuild.
INSTANTIATE_TEST_SUITE_P(InEachPhase, EscapeStorm, testing::Values(1, 400, 985));

} // namespace
