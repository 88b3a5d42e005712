// The main window on the headless host, in process: the creation sequence and
// each of its failures (through app_main, which turns them into exit code 1),
// the message table, and the teardown.
#include "app/app_main.h"
#include "app/app_state.h"
#include "app/song_source.h"
#include "base/alloc_faults.h"
#include "platform/core/faults.h"
#include "platform/core/window_tree.h"
#include "platform/headless/headless.h"
#include "player/embedded_song.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "tests/audio/stderr_capture.h"
#include "tests/common/song_allocations.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const char* const startup_failure_lines = "Failed to create main window\n"
                                          "error: WindowCreationError\n";

std::uint64_t after_song(std::uint64_t step_allocation) {
    SongAllocations song = song_allocations();
    return song.load + song.replay + step_allocation;
}

std::string load_message_for(const std::vector<std::uint8_t>& bytes) {
    char message[load_message_size] = {};
    if (Module* module = module_load(bytes.data(), bytes.size(), message)) module_dispose(module);
    return message;
}

// Every message left for this thread, the quit message of the teardown last.
void drain_messages() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

void expect_everything_released() {
    EXPECT_EQ(app_state.module, nullptr);
    EXPECT_EQ(app_state.replay, nullptr);
    EXPECT_FALSE(app_state.audio.device_open);
    EXPECT_EQ(app_state.audio.int_mix_buffer, nullptr);
    for (const AudioBlock& block : app_state.audio.blocks) EXPECT_EQ(block.block_samples, nullptr);
    EXPECT_EQ(app_state.grid.cells, nullptr);
    EXPECT_EQ(app_state.grid.cell_count, 0u);
}

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        app_state = AppState{};
        song_source = SongSource{};
    }
    void TearDown() override {
        mem_fail_nth_allocation(0);
        for (WaveOutCall call : {WaveOutCall::Open, WaveOutCall::PrepareHeader, WaveOutCall::Write})
            fault_wave_out(call, 0, 0);
    }
};

// ---- Creation failures: the lines in order and exit code 1 -----------------

TEST_F(MainWindowTest, AModuleThatFailsToLoadEndsTheStartWithItsLoaderText) {
    // XM data, which the loader recognises and refuses with a reason.
    std::string signature = "Extended Module: ";
    std::vector<std::uint8_t> not_a_module(signature.begin(), signature.end());
    not_a_module.resize(400, 0);
    song_source = SongSource{true, not_a_module.data(), not_a_module.size()};
    StderrCapture errors;
    EXPECT_EQ(app_main(), 1);
    EXPECT_EQ(errors.text(), "player.module_load failed: " + load_message_for(not_a_module) +
                                 "\n"
                                 "Audio initialization failed: error.ModuleLoadFailed\n"
                                 "Audio deinitialized.\n" +
                                 startup_failure_lines);
    EXPECT_NE(load_message_for(not_a_module), "");
    expect_everything_released();
    drain_messages();
}

struct CreationFailure {
    const char* name;
    std::uint64_t (*failing_allocation)(); // 0: none
    WaveOutCall call;
    MMRESULT result; // 0: no wave-output call fails
    const char* lines;
};

std::uint64_t no_allocation() {
    return 0;
}

class CreationFailureTest : public MainWindowTest,
                            public testing::WithParamInterface<CreationFailure> {};

TEST_P(CreationFailureTest, WritesTheLinesOfItsRowThenTheStartUpReport) {
    const CreationFailure& failure = GetParam();
    mem_fail_nth_allocation(failure.failing_allocation());
    if (failure.result != 0) fault_wave_out(failure.call, failure.result, fault_every_call);
    StderrCapture errors;
    EXPECT_EQ(app_main(), 1);
    EXPECT_EQ(errors.text(), std::string(failure.lines) + startup_failure_lines);
    expect_everything_released();
    drain_messages();
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, CreationFailureTest,
    testing::Values(
        CreationFailure{"ModuleAllocation", [] { return std::uint64_t{1}; }, WaveOutCall::Open, 0,
                        "player.module_load failed: \n"
                        "Audio initialization failed: error.ModuleLoadFailed\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"ReplayAllocation", [] { return song_allocations().load + 1; },
                        WaveOutCall::Open, 0,
                        "player.new_replay failed\n"
                        "Audio initialization failed: error.ReplayInitFailed\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"DeviceOpen", no_allocation, WaveOutCall::Open, 2,
                        "waveOutOpen failed: 2\n"
                        "Audio initialization failed: error.WaveOutOpenFailed\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"BlockAllocation", [] { return after_song(2); }, WaveOutCall::Open, 0,
                        "Audio initialization failed: error.OutOfMemory\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"BlockPreparation", no_allocation, WaveOutCall::PrepareHeader, 11,
                        "waveOutPrepareHeader failed for block 0: 11\n"
                        "Audio deinitialized.\n"
                        "Audio initialization failed: error.WaveOutPrepareFailed\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"MixBufferAllocation", [] { return after_song(4); }, WaveOutCall::Open, 0,
                        "Failed to allocate int_mix_buffer: error.OutOfMemory\n"
                        "Audio deinitialized.\n"
                        "Audio initialization failed: error.OutOfMemory\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"FirstWrites", no_allocation, WaveOutCall::Write, 5,
                        "Initial waveOutWrite failed for block 0: 5\n"
                        "Audio deinitialized.\n"
                        "Audio initialization failed: error.WaveOutWriteFailed\n"
                        "Audio deinitialized.\n"},
        CreationFailure{"FirstGrid", [] { return after_song(5); }, WaveOutCall::Open, 0,
                        "Audio initialized successfully using embedded data.\n"
                        "Initial 1x1 grid creation failed: error.OutOfMemory\n"
                        "Audio deinitialized.\n"}),
    [](const testing::TestParamInfo<CreationFailure>& info) { return info.param.name; });

// ---- The whole start-up, run to the first show tick ----------------------------

struct Screen {
    int width;
    int height;
    RECT window_at_first_tick;
};

class StartUpOnScreenTest : public MainWindowTest, public testing::WithParamInterface<Screen> {};

TEST_P(StartUpOnScreenTest, OpensTheWindowAt80PercentVerticallyCentredAndEndsWithEscape) {
    const Screen& screen = GetParam();
    headless_set_screen_size(screen.width, screen.height);
    RECT at_first_tick{};
    headless_set_tick_observer([&at_first_tick](std::uint64_t tick) {
        if (tick != 1) return;
        GetWindowRect(top_level_windows().front()->handle, &at_first_tick);
        headless_press_key(VK_ESCAPE);
    });
    StderrCapture errors;
    EXPECT_EQ(app_main(), 0);
    EXPECT_EQ(errors.text(), "Audio initialized successfully using embedded data.\n"
                             "Audio deinitialized.\n");
    headless_reset();
    const RECT& expected = screen.window_at_first_tick;
    EXPECT_EQ(at_first_tick.right - at_first_tick.left, expected.right - expected.left);
    EXPECT_EQ(at_first_tick.bottom - at_first_tick.top, expected.bottom - expected.top);
    EXPECT_EQ(at_first_tick.top, expected.top);
    EXPECT_LT(at_first_tick.left, 0); // still sliding in from beyond the left edge
    expect_everything_released();
}

INSTANTIATE_TEST_SUITE_P(TwoScreens, StartUpOnScreenTest,
                         testing::Values(Screen{1920, 1080, {192, 108, 192 + 1536, 108 + 864}},
                                         Screen{1366, 768, {137, 77, 137 + 1092, 77 + 614}}),
                         [](const testing::TestParamInfo<Screen>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

// ---- A created main window ----------------------------------------------------

class CreatedMainWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        struct ClassEntry {
            const char* name;
            WNDPROC procedure;
        };
        for (ClassEntry entry : {ClassEntry{"ParentWindowClass", ParentWindowProc},
                                 ClassEntry{"ChildWindowClass", ChildWindowProc}}) {
            WNDCLASSEXA window_class{};
            window_class.cbSize = sizeof window_class;
            window_class.lpfnWndProc = entry.procedure;
            window_class.hInstance = GetModuleHandleA(nullptr);
            window_class.lpszClassName = entry.name;
            RegisterClassExA(&window_class); // already there after an earlier test
        }
        StderrCapture errors;
        window =
            CreateWindowExA(WS_EX_COMPOSITED, "ParentWindowClass", "test",
                            WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 192, 108,
                            1536, 864, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        creation_output = errors.text();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (app_state.module != nullptr) DestroyWindow(window);
        if (!loop_ended) drain_messages();
        MainWindowTest::TearDown();
    }

    RECT window_rect() {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }

    // Hands a message to the procedure and reports whether the show, the
    // window's place or the log changed.
    bool changes_anything(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) {
        unsigned char show_before[sizeof(ShowState)];
        std::memcpy(show_before, &app_state.show, sizeof show_before);
        RECT rect_before = window_rect();
        StderrCapture errors;
        LRESULT answer = ParentWindowProc(window, message, wparam, lparam);
        if (result) *result = answer;
        RECT rect_after = window_rect();
        // A byte snapshot of the same record: any change, padding included,
        // counts as a change, which can only make the test stricter.
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
        return std::memcmp(show_before, &app_state.show, sizeof show_before) != 0 ||
               std::memcmp(&rect_before, &rect_after, sizeof rect_after) != 0 ||
               !errors.text().empty() || app_state.module == nullptr;
    }

    HWND window = nullptr;
    std::string creation_output;
    bool loop_ended = false; // the teardown's quit message has been taken
};

TEST_F(CreatedMainWindowTest, CreationBuildsTheShowAndParksTheWindowLeftOfTheScreen) {
    EXPECT_EQ(creation_output, "Audio initialized successfully using embedded data.\n");
    ASSERT_NE(app_state.module, nullptr);
    ASSERT_NE(app_state.replay, nullptr);
    EXPECT_EQ(app_state.replay->order_counter, 2u); // started over at entry 0
    EXPECT_TRUE(app_state.audio.device_open);
    EXPECT_EQ(app_state.grid.cols, 1u);
    EXPECT_EQ(app_state.grid.rows, 1u);
    EXPECT_EQ(app_state.grid.cell_count, 1u);
    EXPECT_EQ(app_state.show.phase, ShowPhase::WindowSlidingIn);
    RECT rect = window_rect();
    EXPECT_EQ(rect.left, -1536);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.top, 108);
    EXPECT_EQ(rect.bottom - rect.top, 864);
}

TEST_F(CreatedMainWindowTest, OnlyTheShowTimerDrivesTheShow) {
    EXPECT_FALSE(changes_anything(WM_TIMER, 2, 0));
    EXPECT_FALSE(changes_anything(WM_TIMER, 0, 0));
    EXPECT_TRUE(changes_anything(WM_TIMER, show_timer_id, 0));
}

TEST_F(CreatedMainWindowTest, KeysOtherThanEscapeDoNothing) {
    for (WPARAM key : {WPARAM{'A'}, WPARAM{VK_RETURN}, WPARAM{VK_F4}, WPARAM{VK_MENU}}) {
        LRESULT result = -1;
        EXPECT_FALSE(changes_anything(WM_KEYDOWN, key, 0, &result)) << "key " << key;
        EXPECT_EQ(result, 0);
    }
}

TEST_F(CreatedMainWindowTest, TheSystemMenusMoveCommandIsSwallowed) {
    LRESULT result = -1;
    EXPECT_FALSE(changes_anything(WM_SYSCOMMAND, SC_MOVE, 0, &result));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(changes_anything(WM_SYSCOMMAND, SC_MOVE | 2, 0)); // the caption-drag form
}

TEST_F(CreatedMainWindowTest, TheCaptionAnswersAsClientAreaAndNothingElseChanges) {
    RECT rect = window_rect();
    int caption_y = rect.top + GetSystemMetrics(SM_CYCAPTION) / 2;
    auto at = [](LONG x, LONG y) { return static_cast<LPARAM>((y & 0xFFFF) << 16 | (x & 0xFFFF)); };
    LPARAM caption = at(rect.left + 200, caption_y);
    ASSERT_EQ(DefWindowProcA(window, WM_NCHITTEST, 0, caption), HTCAPTION);
    EXPECT_EQ(ParentWindowProc(window, WM_NCHITTEST, 0, caption), HTCLIENT);
    for (LPARAM elsewhere : {at(rect.right - 4, caption_y), at(rect.left + 200, rect.top + 400)}) {
        LRESULT system_answer = DefWindowProcA(window, WM_NCHITTEST, 0, elsewhere);
        EXPECT_NE(system_answer, HTCAPTION);
        EXPECT_EQ(ParentWindowProc(window, WM_NCHITTEST, 0, elsewhere), system_answer);
    }
}

TEST_F(CreatedMainWindowTest, NoticesForBlocksTheDeviceStillHoldsOrForOtherAddressesChangeNothing) {
    // Right after the creation the device holds all three silent blocks.
    const AudioOutput& audio = app_state.audio;
    const std::uint64_t read_position = audio.mix_read_pos;
    WAVEHDR unrelated{};
    std::vector<LPARAM> addresses{0, reinterpret_cast<LPARAM>(&unrelated),
                                  reinterpret_cast<LPARAM>(&audio.blocks[0].header) + 1};
    for (const AudioBlock& block : audio.blocks)
        addresses.push_back(reinterpret_cast<LPARAM>(&block.header));
    for (LPARAM address : addresses) {
        EXPECT_FALSE(changes_anything(MM_WOM_DONE, 0, address)) << "address " << address;
    }
    EXPECT_EQ(audio.mix_read_pos, read_position) << "nothing was mixed";
    for (const AudioBlock& block : audio.blocks) {
        EXPECT_TRUE(block.header.dwFlags & WHDR_INQUEUE);
        for (int i = 0; i < audio_block_samples; ++i) ASSERT_EQ(block.block_samples[i], 0);
    }
}

struct CloseRoute {
    const char* name;
    UINT message;
    WPARAM wparam;
};

class ClosingTest : public CreatedMainWindowTest, public testing::WithParamInterface<CloseRoute> {};

TEST_P(ClosingTest, TearsEverythingDownAndEndsTheMessageLoop) {
    StderrCapture errors;
    EXPECT_EQ(ParentWindowProc(window, GetParam().message, GetParam().wparam, 0), 0);
    EXPECT_EQ(errors.text(), "Audio deinitialized.\n");
    expect_everything_released();
    // The device's reset returned its blocks as notices: dispatching them and
    // one more for a former block changes nothing, and the loop then ends.
    StderrCapture later;
    drain_messages();
    loop_ended = true;
    ParentWindowProc(window, MM_WOM_DONE, 0,
                     reinterpret_cast<LPARAM>(&app_state.audio.blocks[0].header));
    EXPECT_EQ(later.text(), "");
    expect_everything_released();
}

INSTANTIATE_TEST_SUITE_P(EveryRoute, ClosingTest,
                         testing::Values(CloseRoute{"Escape", WM_KEYDOWN, VK_ESCAPE},
                                         CloseRoute{"CloseMessage", WM_CLOSE, 0},
                                         CloseRoute{"AltF4OrCloseButton", WM_SYSCOMMAND, SC_CLOSE}),
                         [](const testing::TestParamInfo<CloseRoute>& info) {
                             return info.param.name;
                         });

} // namespace
