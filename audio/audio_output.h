// The wave-output device with three circulating blocks, refilled from the
// mixer on each block-done notice (MM_WOM_DONE to the main window).
#pragma once
#include "base/errors.h"
#include "platform/win32.h"
#include <cstdint>

struct Module;
struct Replay;

constexpr int audio_block_count = 3;
constexpr int audio_block_samples = 8192; // 4096 stereo frames

struct AudioBlock {
    std::int16_t* block_samples;
    std::uint32_t sample_count; // audio_block_samples while held, 0 when released
    WAVEHDR header;
};

struct AudioOutput {
    HWAVEOUT device;
    bool device_open;
    AudioBlock blocks[audio_block_count];
    std::int32_t* int_mix_buffer;
    std::uint64_t mix_read_pos;
    std::uint64_t mix_fill_len;
};

// Opens the device with `window` as the notice target and queues three silent
// blocks. Every failure releases what it took and disposes the replay and the
// module before it returns; the caller's audio_deinit then finds nothing held.
ErrorName audio_init(AudioOutput& audio, HWND window, Replay*& replay, Module*& module);
// Refills the block whose header is `header` and writes it back.
void audio_refill_block(AudioOutput& audio, Replay* replay, WAVEHDR* header);
// Stops and closes the device, releases the blocks and the mix buffer, then
// disposes the replay and the module. Safe in any state, and twice. A block
// the device still holds is freed only once the device has given it back.
void audio_deinit(AudioOutput& audio, Replay*& replay, Module*& module);
