// The whole program on the headless host, run once per failure point: every
// allocation of a whole run in turn, and each waveOut call and the deferred
// window batch. Each run must end with the lines and exit code the program
// owes for that failure, never with a crash (no exit code), a hang (ended
// after driver_time_limit_seconds) or a leak: under the sanitizers
// LeakSanitizer reports a leak on standard error at the driver's exit and
// makes the exit code non-zero, and the driver itself fails a run whose
// teardown left anything held (exit code 4). Standard error is compared whole.
#include "base/alloc_faults.h"
#include "player/embedded_song.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "tests/common/song_allocations.h"
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <cstdio>
#include <gtest/gtest.h>
#include <ostream>
#include <regex>

namespace {

// ---- Every allocation -------------------------------------------------------------

// The loader's text when its n-th allocation fails.
std::string load_message_when_failing(std::uint64_t allocation) {
    char message[load_message_size] = {};
    mem_fail_nth_allocation(allocation);
    Module* module = module_load(embedded_song, embedded_song_length, message);
    mem_fail_nth_allocation(0);
    EXPECT_EQ(module, nullptr) << "allocation " << allocation << " of the loader cannot fail";
    if (module) module_dispose(module);
    return message;
}

// The lines of a failed creation when its n-th allocation fails, in the
// creation's order: song, replay, three audio blocks, mix buffer, first grid.
std::string creation_failure_log(std::uint64_t allocation, const SongAllocations& song) {
    const std::uint64_t song_total = song.load + song.replay;
    const std::string failed = "Audio initialization failed: error.";
    std::string lines;
    if (allocation <= song.load)
        lines = "player.module_load failed: " + load_message_when_failing(allocation) + "\n" +
                failed + "ModuleLoadFailed\n";
    else if (allocation <= song_total)
        lines = "player.new_replay failed\n" + failed + "ReplayInitFailed\n";
    else if (allocation <= song_total + 3)
        lines = failed + "OutOfMemory\n";
    else if (allocation == song_total + 4)
        lines = std::string("Failed to allocate int_mix_buffer: error.OutOfMemory\n") +
                deinitialized_log + failed + "OutOfMemory\n";
    else
        lines = std::string(started_log) + "Initial 1x1 grid creation failed: error.OutOfMemory\n";
    return lines + deinitialized_log + startup_failure_lines;
}

// A rebuild that fails during the show destroys the main window: the log
// stops after the hand-overs so far and ends with the teardown. Returns how
// many hand-overs came before it, or -1 for any other log.
int hand_overs_before_failed_rebuild(const std::string& log) {
    const std::string whole = whole_show_log;
    const std::string hand_over_end = "GridScalingDown (skipping to resize)\n";
    std::size_t end = 0;
    for (int hand_overs = 0; end != std::string::npos; ++hand_overs) {
        if (log == started_log + whole.substr(0, end) + deinitialized_log) return hand_overs;
        end = whole.find(hand_over_end, end);
        if (end != std::string::npos) end += hand_over_end.size();
    }
    return -1;
}

std::uint64_t allocations_of_a_whole_run() {
    DriverRun run = run_driver({"--count-allocations"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.error_output, std::string(started_log) + whole_show_log);
    std::smatch count;
    EXPECT_TRUE(std::regex_search(run.standard_output, count, std::regex("^allocations (\\d+)")))
        << run.standard_output;
    return count.empty() ? 0 : std::stoull(count[1]);
}

TEST(FaultSweep, FailingAnyOneAllocationOfAWholeRunEndsItAsOwed) {
    const SongAllocations song = song_allocations();
    const std::uint64_t first_grid = song.load + song.replay + 5;
    const std::uint64_t total = allocations_of_a_whole_run();
    // A counter that counts nothing cannot pass: at least the song, the
    // blocks, the mix buffer, the first grid and the first rebuild.
    ASSERT_GT(song.load, 1u);
    ASSERT_GE(song.replay, 1u);
    ASSERT_GT(total, first_grid);

    int hand_overs_so_far = 0;
    for (std::uint64_t allocation = 1; allocation <= total; ++allocation) {
        SCOPED_TRACE("allocation " + std::to_string(allocation) + " of " + std::to_string(total));
        DriverRun run = run_driver({"--fail", "alloc=" + std::to_string(allocation)});
        if (allocation <= first_grid) {
            EXPECT_EQ(run.exit_code, 1);
            EXPECT_EQ(run.error_output, creation_failure_log(allocation, song));
            continue;
        }
        // Only grid rebuilds allocate once the show runs, in the show's order.
        EXPECT_EQ(run.exit_code, 0);
        int hand_overs = hand_overs_before_failed_rebuild(run.error_output);
        EXPECT_NE(hand_overs, -1) << run.error_output;
        if (allocation == first_grid + 1) {
            EXPECT_EQ(hand_overs, 0) << "the first rebuild";
        }
        EXPECT_GE(hand_overs, hand_overs_so_far);
        hand_overs_so_far = hand_overs;
    }
    RecordProperty("allocation_points", std::to_string(total));
    std::printf("fault sweep: %llu allocation points covered\n",
                static_cast<unsigned long long>(total));
}

// ---- Every waveOut call and the deferred batch ---------------------------------------

struct CallFailure {
    const char* name;
    const char* fault; // --fail NAME@CALL=CODE
    int exit_code;
    const char* log;
};

std::string failed_start(const char* lines, const char* error) {
    return std::string(lines) + deinitialized_log + "Audio initialization failed: error." + error +
           "\n" + deinitialized_log + startup_failure_lines;
}

void PrintTo(const CallFailure& failure, std::ostream* out) {
    *out << failure.fault;
}

class CallFailureTest : public testing::TestWithParam<CallFailure> {};

// Escape soon after the start, once the stream has run a few blocks, ends a
// run that the failure does not end.
TEST_P(CallFailureTest, EndsTheRunAsOwed) {
    DriverRun run = run_driver({"--fail", GetParam().fault, "--press", "escape@60"});
    EXPECT_EQ(run.exit_code, GetParam().exit_code);
    EXPECT_EQ(run.error_output, GetParam().log);
}

const std::string prepare_fails[] = {
    failed_start("waveOutPrepareHeader failed for block 0: 11\n", "WaveOutPrepareFailed"),
    failed_start("waveOutPrepareHeader failed for block 1: 11\n", "WaveOutPrepareFailed"),
    failed_start("waveOutPrepareHeader failed for block 2: 11\n", "WaveOutPrepareFailed")};
const std::string first_write_fails[] = {
    failed_start("Initial waveOutWrite failed for block 0: 5\n", "WaveOutWriteFailed"),
    failed_start("Initial waveOutWrite failed for block 1: 5\n", "WaveOutWriteFailed"),
    failed_start("Initial waveOutWrite failed for block 2: 5\n", "WaveOutWriteFailed")};
const std::string open_fails = std::string("waveOutOpen failed: 2\n") +
                               "Audio initialization failed: error.WaveOutOpenFailed\n" +
                               deinitialized_log + startup_failure_lines;
// The show was closed after a block write failed: "!W" and the code, no line end.
const std::string streaming_write_fails = std::string(started_log) + "!W5" + deinitialized_log;
// Without the reset the device still holds its blocks and refuses to close.
const std::string reset_fails = std::string(started_log) + "waveOutReset failed: 5\n" +
                                "waveOutClose failed: 33\n" + deinitialized_log;
const std::string unprepare_fails[] = {
    std::string(started_log) + "waveOutUnprepareHeader failed for block 0: 5\n" + deinitialized_log,
    std::string(started_log) + "waveOutUnprepareHeader failed for block 1: 5\n" + deinitialized_log,
    std::string(started_log) + "waveOutUnprepareHeader failed for block 2: 5\n" +
        deinitialized_log};
const std::string closed_quietly = std::string(started_log) + deinitialized_log;
const std::string close_fails =
    std::string(started_log) + "waveOutClose failed: 5\n" + deinitialized_log;

INSTANTIATE_TEST_SUITE_P(
    EveryCall, CallFailureTest,
    testing::Values(
        CallFailure{"Open", "waveOutOpen=2", 1, open_fails.c_str()},
        CallFailure{"PrepareBlock0", "waveOutPrepareHeader@1=11", 1, prepare_fails[0].c_str()},
        CallFailure{"PrepareBlock1", "waveOutPrepareHeader@2=11", 1, prepare_fails[1].c_str()},
        CallFailure{"PrepareBlock2", "waveOutPrepareHeader@3=11", 1, prepare_fails[2].c_str()},
        CallFailure{"FirstWriteBlock0", "waveOutWrite@1=5", 1, first_write_fails[0].c_str()},
        CallFailure{"FirstWriteBlock1", "waveOutWrite@2=5", 1, first_write_fails[1].c_str()},
        CallFailure{"FirstWriteBlock2", "waveOutWrite@3=5", 1, first_write_fails[2].c_str()},
        CallFailure{"FirstRefillWrite", "waveOutWrite@4=5", 0, streaming_write_fails.c_str()},
        CallFailure{"LaterRefillWrite", "waveOutWrite@9=5", 0, streaming_write_fails.c_str()},
        CallFailure{"Reset", "waveOutReset=5", 0, reset_fails.c_str()},
        CallFailure{"UnprepareBlock0", "waveOutUnprepareHeader@1=5", 0, unprepare_fails[0].c_str()},
        CallFailure{"UnprepareBlock1", "waveOutUnprepareHeader@2=5", 0, unprepare_fails[1].c_str()},
        CallFailure{"UnprepareBlock2", "waveOutUnprepareHeader@3=5", 0, unprepare_fails[2].c_str()},
        // Still playing is no failure worth a line.
        CallFailure{"UnprepareStillPlaying", "waveOutUnprepareHeader@2=33", 0,
                    closed_quietly.c_str()},
        CallFailure{"Close", "waveOutClose=5", 0, close_fails.c_str()}),
    [](const testing::TestParamInfo<CallFailure>& info) { return info.param.name; });

TEST(FaultSweep, ARefusedDeferredBatchIsAFatalStopWithCode3) {
    // The first batch opens on the first grow-in tick.
    DriverRun run = run_driver({"--fail", "defer"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_TRUE(std::regex_match(run.error_output,
                                 std::regex(std::string(started_log) +
                                            "thread [0-9]+ panic: BeginDeferWindowPos failed\n"
                                            "Unable to dump stack trace: debug info stripped\n")))
        << run.error_output;
}

} // namespace
