// Wave output on the headless host: start and its failures, the stream the
// device plays, notices that must change nothing, and the shutdown.
#include "audio/audio_output.h"
#include "base/alloc.h"
#include "base/alloc_faults.h"
#include "platform/core/faults.h"
#include "platform/headless/headless_audio.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "tests/audio/stderr_capture.h"
#include "tests/player/mod_builder.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int silent_start_samples = 3 * audio_block_samples; // 256 ms
constexpr int tick_frames_at_80_bpm = 1500;                   // 48000 * 5 / (80 * 2)

// Four channels of a full-scale square wave at full volume, 80 BPM: ticks of
// 3000 values, which do not divide a block.
std::vector<std::uint8_t> square_song() {
    ModBuilder song;
    ModSampleHeader& square = song.sample(1);
    square.length_words = 32;
    square.loop_start_words = 0;
    square.loop_length_words = 32;
    for (int i = 0; i < 64; ++i) square.data.push_back(i < 32 ? 127 : -128);
    song.set_orders({0});
    for (int channel = 0; channel < 4; ++channel) song.set_note(0, 0, channel, 428, 1);
    song.set_note(0, 0, 0, 428, 1, 0xF, 80);
    return song.build();
}

// The song as the main window's creation sets it up.
struct Song {
    Module* module = nullptr;
    Replay* replay = nullptr;

    explicit Song(const std::vector<std::uint8_t>& bytes) {
        char message[load_message_size] = {};
        module = module_load(bytes.data(), bytes.size(), message);
        if (module) replay = new_replay(module, 48000, false);
        if (replay) start_sequence_at(replay, 8);
    }
    ~Song() {
        if (replay) replay_dispose(replay);
        if (module) module_dispose(module);
    }
};

// The conversion a block applies to each mixer value.
std::int16_t saturate(std::int32_t value) {
    if (value < -32767) return -32768;
    if (value >= 32767) return 32767;
    return static_cast<std::int16_t>(value);
}

// The test window stands for the main window: it refills on each notice.
AudioOutput audio;
Song* playing = nullptr;
std::map<const WAVEHDR*, int> notices_per_header;
int notices = 0;

LRESULT CALLBACK refilling_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != MM_WOM_DONE) return DefWindowProcA(window, message, wparam, lparam);
    auto* header = reinterpret_cast<WAVEHDR*>(lparam);
    ++notices_per_header[header];
    ++notices;
    audio_refill_block(audio, playing->replay, header);
    return 0;
}

class AudioOutputTest : public testing::Test {
  protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXA window_class{};
            window_class.cbSize = sizeof window_class;
            window_class.lpfnWndProc = refilling_window;
            window_class.hInstance = GetModuleHandleA(nullptr);
            window_class.lpszClassName = "RefillingWindow";
            registered = RegisterClassExA(&window_class) != 0;
        }
        window = CreateWindowExA(0, "RefillingWindow", "", WS_OVERLAPPED, 0, 0, 64, 64, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        audio = AudioOutput{};
        notices_per_header.clear();
        notices = 0;
        song = std::make_unique<Song>(square_song());
        ASSERT_NE(song->replay, nullptr);
        playing = song.get();
    }

    void TearDown() override {
        if (audio.device_open) audio_deinit(audio, song->replay, song->module);
        mem_fail_nth_allocation(0);
        DestroyWindow(window);
    }

    ErrorName start() { return audio_init(audio, window, song->replay, song->module); }

    // Dispatches messages until `count` more block notices have been handled.
    void play_notices(int count) {
        int until = notices + count;
        MSG message;
        while (notices < until && GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
    }

    void expect_nothing_held() {
        EXPECT_FALSE(audio.device_open);
        EXPECT_EQ(audio.device, nullptr);
        for (const AudioBlock& block : audio.blocks) {
            EXPECT_EQ(block.block_samples, nullptr);
            EXPECT_EQ(block.sample_count, 0u);
        }
        EXPECT_EQ(audio.int_mix_buffer, nullptr);
        EXPECT_EQ(song->replay, nullptr);
        EXPECT_EQ(song->module, nullptr);
    }

    HWND window = nullptr;
    std::unique_ptr<Song> song;
};

TEST_F(AudioOutputTest, StartQueuesThreeSilentBlocksAndRendersNothingYet) {
    StderrCapture errors;
    ASSERT_EQ(start(), ErrorName::Ok);
    EXPECT_EQ(errors.text(), "Audio initialized successfully using embedded data.\n");
    EXPECT_TRUE(audio.device_open);
    for (const AudioBlock& block : audio.blocks) {
        EXPECT_EQ(block.sample_count, 8192u);
        EXPECT_EQ(block.header.dwBufferLength, 16384u);
        EXPECT_TRUE(block.header.dwFlags & WHDR_INQUEUE);
    }
    EXPECT_EQ(audio.mix_fill_len, 0u);
    EXPECT_GE(audio.mix_read_pos, audio.mix_fill_len);
}

TEST_F(AudioOutputTest, PlaysSilenceForTheFirst256MsThenEveryTickInOrder) {
    ASSERT_EQ(start(), ErrorName::Ok);
    play_notices(8); // three silent blocks, then five refilled ones played
    std::uint64_t played_count = 0;
    const std::int16_t* played = headless_audio_played(&played_count);
    ASSERT_GE(played_count, 8u * audio_block_samples);

    // The same song rendered tick by tick, without a device.
    Song reference_song(square_song());
    std::vector<std::int32_t> buffer(int_mix_buffer_values);
    std::vector<std::int32_t> reference;
    while (reference.size() < played_count) {
        std::int32_t frames = mix_tick(reference_song.replay, buffer.data());
        ASSERT_EQ(frames, tick_frames_at_80_bpm);
        reference.insert(reference.end(), buffer.begin(), buffer.begin() + 2 * frames);
    }
    for (int i = 0; i < silent_start_samples; ++i) ASSERT_EQ(played[i], 0) << "sample " << i;
    ASSERT_NE(std::count(played + silent_start_samples, played + played_count, 0),
              static_cast<std::ptrdiff_t>(played_count - silent_start_samples));
    for (std::uint64_t i = silent_start_samples; i < played_count; ++i) {
        ASSERT_EQ(played[i], saturate(reference[i - silent_start_samples])) << "sample " << i;
    }
}

// Values left in the mix buffer from an earlier tick, as the refill finds them.
void leave_in_mix_buffer(const std::vector<std::int32_t>& values) {
    std::copy(values.begin(), values.end(), audio.int_mix_buffer);
    audio.mix_fill_len = values.size();
    audio.mix_read_pos = 0;
}

std::vector<std::int16_t> block_start(int block, std::size_t count) {
    const std::int16_t* samples = audio.blocks[block].block_samples;
    return std::vector<std::int16_t>(samples, samples + count);
}

TEST_F(AudioOutputTest, SaturatesMixerValuesToSixteenBits) {
    ASSERT_EQ(start(), ErrorName::Ok);
    leave_in_mix_buffer({-40000, -32768, -32767, 32766, 32767, 40000});
    play_notices(1);
    EXPECT_EQ(block_start(0, 6),
              (std::vector<std::int16_t>{-32768, -32768, -32767, 32766, 32767, 32767}));
}

TEST_F(AudioOutputTest, CarriesWhatABlockCannotTakeIntoTheNextRefill) {
    ASSERT_EQ(start(), ErrorName::Ok);
    // 1000 samples of block 0 remain once these are copied; the next tick has 3000 values.
    leave_in_mix_buffer(std::vector<std::int32_t>(audio_block_samples - 1000, 7));
    play_notices(1);
    EXPECT_EQ(audio.mix_fill_len, 3000u);
    EXPECT_EQ(audio.mix_read_pos, 1000u);
    std::vector<std::int16_t> rest_of_tick;
    for (std::uint64_t i = 1000; i < 3000; ++i) {
        rest_of_tick.push_back(saturate(audio.int_mix_buffer[i]));
    }
    play_notices(1);
    EXPECT_EQ(block_start(1, 2000), rest_of_tick);
    // Then two whole ticks and 192 values of a third: 8192 = 2000 + 2 * 3000 + 192.
    EXPECT_EQ(audio.mix_read_pos, 192u);
}

TEST_F(AudioOutputTest, IgnoresNoticesForHeadersThatAreNotItsBlocks) {
    ASSERT_EQ(start(), ErrorName::Ok);
    play_notices(1);
    std::uint64_t read_position = audio.mix_read_pos;
    std::vector<std::int16_t> first_block(audio.blocks[0].block_samples,
                                          audio.blocks[0].block_samples + audio_block_samples);
    WAVEHDR foreign{};
    StderrCapture errors;
    audio_refill_block(audio, song->replay, &foreign);
    audio_refill_block(audio, song->replay, nullptr);
    EXPECT_EQ(errors.text(), "");
    EXPECT_EQ(audio.mix_read_pos, read_position);
    EXPECT_EQ(std::vector<std::int16_t>(audio.blocks[0].block_samples,
                                        audio.blocks[0].block_samples + audio_block_samples),
              first_block);
}

TEST_F(AudioOutputTest, IgnoresANoticeForABlockThatHoldsNoBuffer) {
    mem_fail_nth_allocation(3); // block 2's buffer
    ASSERT_EQ(start(), ErrorName::OutOfMemory);
    StderrCapture errors;
    audio_refill_block(audio, song->replay, &audio.blocks[2].header);
    EXPECT_EQ(errors.text(), "");
    EXPECT_EQ(audio.blocks[2].block_samples, nullptr);
}

TEST_F(AudioOutputTest, DropsTheNoticesThatArriveDuringAndAfterTheShutdown) {
    ASSERT_EQ(start(), ErrorName::Ok);
    play_notices(2);
    WAVEHDR* former_header = &audio.blocks[1].header;
    StderrCapture errors;
    audio_deinit(audio, song->replay, song->module);
    // The reset returned the three queued blocks as notices; they change nothing.
    play_notices(3);
    // Even with a live replay at hand, a closed device takes no refill.
    Song other(square_song());
    audio_refill_block(audio, other.replay, former_header);
    EXPECT_EQ(errors.text(), "Audio deinitialized.\n");
    expect_nothing_held();
}

TEST_F(AudioOutputTest, AFailedRefillWriteCostsThatBlockOnly) {
    ASSERT_EQ(start(), ErrorName::Ok);
    fault_wave_out(WaveOutCall::Write, 5, 1);
    StderrCapture errors;
    play_notices(1);
    EXPECT_EQ(errors.text(), "!W5");
    const WAVEHDR* lost = &audio.blocks[0].header;
    play_notices(6);
    EXPECT_EQ(notices_per_header[lost], 1);
    EXPECT_EQ(notices_per_header[&audio.blocks[1].header], 3);
    EXPECT_EQ(notices_per_header[&audio.blocks[2].header], 3);
}

TEST_F(AudioOutputTest, ShutdownTwiceReleasesOnceAndWritesItsLineTwice) {
    ASSERT_EQ(start(), ErrorName::Ok);
    StderrCapture errors;
    audio_deinit(audio, song->replay, song->module);
    // The device is closed now: a second shutdown must not touch it.
    fault_wave_out(WaveOutCall::Reset, 5, fault_every_call);
    fault_wave_out(WaveOutCall::Close, 5, fault_every_call);
    audio_deinit(audio, song->replay, song->module);
    fault_wave_out(WaveOutCall::Reset, 0, 0);
    fault_wave_out(WaveOutCall::Close, 0, 0);
    EXPECT_EQ(errors.text(), "Audio deinitialized.\nAudio deinitialized.\n");
    expect_nothing_held();
}

TEST_F(AudioOutputTest, ShutdownReportsItsFailedCallsAndFreesBlocksOnlyOnceTheDeviceGaveThemBack) {
    ASSERT_EQ(start(), ErrorName::Ok);
    HWAVEOUT device = audio.device;
    // Without the reset the device keeps its three blocks queued and plays them out.
    fault_wave_out(WaveOutCall::Reset, 5, 1);
    fault_wave_out(WaveOutCall::UnprepareHeader, 11, 1, 1);
    fault_wave_out(WaveOutCall::Close, 4, 1);
    StderrCapture errors;
    audio_deinit(audio, song->replay, song->module);
    EXPECT_EQ(errors.text(), "waveOutReset failed: 5\n"
                             "waveOutUnprepareHeader failed for block 1: 11\n"
                             "waveOutClose failed: 4\n"
                             "Audio deinitialized.\n");
    expect_nothing_held();
    EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE) << "closed once the blocks came back";
}

TEST_F(AudioOutputTest, ShutdownLeavesBlocksToADeviceThatNeverGivesThemBack) {
    ASSERT_EQ(start(), ErrorName::Ok);
    HWAVEOUT device = audio.device;
    std::int16_t* buffers[audio_block_count];
    for (int i = 0; i < audio_block_count; ++i) buffers[i] = audio.blocks[i].block_samples;
    fault_wave_out(WaveOutCall::UnprepareHeader, WAVERR_STILLPLAYING, fault_every_call);
    fault_wave_out(WaveOutCall::Close, WAVERR_STILLPLAYING, fault_every_call);
    StderrCapture errors;
    audio_deinit(audio, song->replay, song->module);
    fault_wave_out(WaveOutCall::UnprepareHeader, 0, 0);
    fault_wave_out(WaveOutCall::Close, 0, 0);
    EXPECT_EQ(errors.text(), "waveOutClose failed: 33\n"
                             "Audio blocks left to the device: 3\n"
                             "Audio deinitialized.\n");
    EXPECT_FALSE(audio.device_open);
    for (int i = 0; i < audio_block_count; ++i) {
        EXPECT_EQ(audio.blocks[i].block_samples, buffers[i]) << "block " << i;
        EXPECT_EQ(audio.blocks[i].header.dwBufferLength, DWORD(audio_block_samples * 2));
        mem_free(buffers[i]); // the device here only pretended to hold them
    }
    waveOutClose(device);
}

TEST_F(AudioOutputTest, ShutdownKeepsQuietAboutBlocksStillPlaying) {
    ASSERT_EQ(start(), ErrorName::Ok);
    fault_wave_out(WaveOutCall::UnprepareHeader, WAVERR_STILLPLAYING, fault_every_call);
    StderrCapture errors;
    audio_deinit(audio, song->replay, song->module);
    fault_wave_out(WaveOutCall::UnprepareHeader, 0, 0);
    EXPECT_EQ(errors.text(), "Audio deinitialized.\n");
    expect_nothing_held();
}

struct StartFailure {
    const char* name;
    WaveOutCall call;
    MMRESULT result; // 0: an allocation fails instead
    unsigned skip_or_allocation;
    ErrorName error;
    const char* lines;
};

class AudioStartFailureTest : public AudioOutputTest,
                              public testing::WithParamInterface<StartFailure> {};

TEST_P(AudioStartFailureTest, WritesItsLinesAndLeavesNothingHeldAfterTheTeardown) {
    const StartFailure& failure = GetParam();
    if (failure.result != 0) {
        fault_wave_out(failure.call, failure.result, 1, failure.skip_or_allocation);
    } else {
        mem_fail_nth_allocation(failure.skip_or_allocation);
    }
    StderrCapture errors;
    EXPECT_EQ(start(), failure.error);
    mem_fail_nth_allocation(0);
    // The creation failure's teardown.
    audio_deinit(audio, song->replay, song->module);
    EXPECT_EQ(errors.text(), std::string(failure.lines) + "Audio deinitialized.\n");
    expect_nothing_held();
}

INSTANTIATE_TEST_SUITE_P(
    EveryStartFailure, AudioStartFailureTest,
    testing::Values(
        StartFailure{"DeviceOpen", WaveOutCall::Open, 2, 0, ErrorName::WaveOutOpenFailed,
                     "waveOutOpen failed: 2\n"},
        StartFailure{"Block0Allocation", WaveOutCall::Open, 0, 1, ErrorName::OutOfMemory, ""},
        StartFailure{"Block2Allocation", WaveOutCall::Open, 0, 3, ErrorName::OutOfMemory, ""},
        StartFailure{"Block1Preparation", WaveOutCall::PrepareHeader, 11, 1,
                     ErrorName::WaveOutPrepareFailed,
                     "waveOutPrepareHeader failed for block 1: 11\nAudio deinitialized.\n"},
        StartFailure{"MixBufferAllocation", WaveOutCall::Open, 0, 4, ErrorName::OutOfMemory,
                     "Failed to allocate int_mix_buffer: error.OutOfMemory\n"
                     "Audio deinitialized.\n"},
        StartFailure{"Block0FirstWrite", WaveOutCall::Write, 5, 0, ErrorName::WaveOutWriteFailed,
                     "Initial waveOutWrite failed for block 0: 5\nAudio deinitialized.\n"},
        StartFailure{"Block2FirstWrite", WaveOutCall::Write, 7, 2, ErrorName::WaveOutWriteFailed,
                     "Initial waveOutWrite failed for block 2: 7\nAudio deinitialized.\n"}),
    [](const testing::TestParamInfo<StartFailure>& info) { return info.param.name; });

TEST_F(AudioOutputTest, AFailedOpenDisposesTheReplayAndTheModuleAtOnce) {
    fault_wave_out(WaveOutCall::Open, 2, 1);
    StderrCapture errors;
    EXPECT_EQ(start(), ErrorName::WaveOutOpenFailed);
    EXPECT_EQ(errors.text(), "waveOutOpen failed: 2\n");
    expect_nothing_held();
}

} // namespace
