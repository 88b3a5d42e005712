#include "audio/audio_output.h"
#include "base/alloc.h"
#include "base/diagnostics.h"
#include "player/player.h"

namespace {

constexpr DWORD output_rate = 48000;
constexpr WORD output_channels = 2;
constexpr WORD bytes_per_frame = 4;
constexpr DWORD block_bytes = audio_block_samples * sizeof(std::int16_t);
constexpr UINT header_size = sizeof(WAVEHDR);
constexpr DWORD blocks_given_back_within_ms = 1000;
constexpr DWORD block_poll_ms = 10;

WAVEFORMATEX stream_format() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = output_channels;
    format.nSamplesPerSec = output_rate;
    format.nAvgBytesPerSec = output_rate * bytes_per_frame;
    format.nBlockAlign = bytes_per_frame;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

// The replay refers to the module, so it goes first.
void dispose_song(Replay*& replay, Module*& module) {
    if (replay != nullptr) {
        replay_dispose(replay);
        replay = nullptr;
    }
    if (module != nullptr) {
        module_dispose(module);
        module = nullptr;
    }
}

// Only headers of blocks that hold their buffer count: a notice may name
// anything, and it is never trusted beyond that.
AudioBlock* block_of(AudioOutput& audio, const WAVEHDR* header) {
    for (AudioBlock& block : audio.blocks) {
        if (&block.header == header && block.block_samples != nullptr) return &block;
    }
    return nullptr;
}

// The device marks a block done before it gives it back. A repeated or forged
// notice for a block it still holds must not overwrite the sound being played.
bool returned_by_device(const AudioBlock& block) {
    return (block.header.dwFlags & WHDR_DONE) != 0 && (block.header.dwFlags & WHDR_INQUEUE) == 0;
}

// A block is released only once the device has let it go: after a failed
// reset the device may still be playing it, and freeing it would hand the
// device freed memory.
bool held_by_device(HWAVEOUT device, AudioBlock& block, int index) {
    MMRESULT result = waveOutUnprepareHeader(device, &block.header, header_size);
    if (result == WAVERR_STILLPLAYING) return true;
    if (result != MMSYSERR_NOERROR) {
        diag_line_uints("waveOutUnprepareHeader failed for block ", index, ": ", result, "\n");
    }
    return (block.header.dwFlags & WHDR_INQUEUE) != 0;
}

void release_block(AudioBlock& block) {
    mem_free(block.block_samples);
    block = AudioBlock{};
}

// A device that refused to close still holds blocks. They last 256 ms at
// most; it gets several times that to play them out, then it is closed
// again. Blocks a device never gives back are left to it, never freed
// under it: a leak, once, at the end of the process, said in the log.
void wait_for_blocks(AudioOutput& audio, bool (&held)[audio_block_count]) {
    for (DWORD waited = 0; waited < blocks_given_back_within_ms; waited += block_poll_ms) {
        int still_held = 0;
        for (int i = 0; i < audio_block_count; ++i) {
            if (!held[i]) continue;
            held[i] = waveOutUnprepareHeader(audio.device, &audio.blocks[i].header, header_size) ==
                      WAVERR_STILLPLAYING;
            if (held[i])
                ++still_held;
            else
                release_block(audio.blocks[i]);
        }
        if (still_held == 0) {
            waveOutClose(audio.device);
            return;
        }
        Sleep(block_poll_ms);
    }
    // The records stay as they are too: the headers are the device's now.
    int left = 0;
    for (bool block_held : held) left += block_held ? 1 : 0;
    diag_line_uint("Audio blocks left to the device: ", left, "\n");
}

void close_device(AudioOutput& audio) {
    MMRESULT result = waveOutReset(audio.device);
    if (result != MMSYSERR_NOERROR) diag_line_uint("waveOutReset failed: ", result, "\n");
    bool held[audio_block_count] = {};
    bool any_held = false;
    for (int i = 0; i < audio_block_count; ++i) {
        AudioBlock& block = audio.blocks[i];
        if (block.block_samples == nullptr) continue;
        held[i] = held_by_device(audio.device, block, i);
        any_held = any_held || held[i];
        if (!held[i]) release_block(block);
    }
    result = waveOutClose(audio.device);
    if (result != MMSYSERR_NOERROR) diag_line_uint("waveOutClose failed: ", result, "\n");
    if (any_held) {
        // A closed device holds nothing any more.
        if (result == MMSYSERR_NOERROR) {
            for (int i = 0; i < audio_block_count; ++i) {
                if (held[i]) release_block(audio.blocks[i]);
            }
        } else {
            wait_for_blocks(audio, held);
        }
    }
    audio.device = nullptr;
    audio.device_open = false;
}

// Stops the device and releases everything, the song last; writes no line
// of its own.
void release_all(AudioOutput& audio, Replay*& replay, Module*& module) {
    if (audio.device_open) close_device(audio);
    mem_free(audio.int_mix_buffer);
    audio.int_mix_buffer = nullptr;
    audio.mix_read_pos = 0;
    audio.mix_fill_len = 0;
    dispose_song(replay, module);
}

enum class TeardownLine { None, Written };

// One rule for every failure of audio_init: it releases all it took, and the
// song, before it returns, so that the teardown after a failed creation
// finds nothing held. Some failures also write the teardown's line, as their
// log always had it.
ErrorName failed_start(AudioOutput& audio, Replay*& replay, Module*& module, TeardownLine line,
                       ErrorName error) {
    if (line == TeardownLine::Written)
        audio_deinit(audio, replay, module);
    else
        release_all(audio, replay, module);
    return error;
}

} // namespace

ErrorName audio_init(AudioOutput& audio, HWND window, Replay*& replay, Module*& module) {
    WAVEFORMATEX format = stream_format();
    HWAVEOUT device = nullptr;
    MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format,
                                  reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    if (result != MMSYSERR_NOERROR) {
        diag_line_uint("waveOutOpen failed: ", result, "\n");
        return failed_start(audio, replay, module, TeardownLine::None,
                            ErrorName::WaveOutOpenFailed);
    }
    audio.device = device;
    audio.device_open = true;

    for (int i = 0; i < audio_block_count; ++i) {
        AudioBlock& block = audio.blocks[i];
        auto* samples = static_cast<std::int16_t*>(mem_alloc(block_bytes));
        if (samples == nullptr)
            return failed_start(audio, replay, module, TeardownLine::None, ErrorName::OutOfMemory);
        block.block_samples = samples; // zero-filled: the first round is silent
        block.sample_count = audio_block_samples;
        block.header = WAVEHDR{};
        block.header.lpData = reinterpret_cast<LPSTR>(samples);
        block.header.dwBufferLength = block_bytes;
        result = waveOutPrepareHeader(device, &block.header, header_size);
        if (result != MMSYSERR_NOERROR) {
            diag_line_uints("waveOutPrepareHeader failed for block ", i, ": ", result, "\n");
            return failed_start(audio, replay, module, TeardownLine::Written,
                                ErrorName::WaveOutPrepareFailed);
        }
    }

    audio.int_mix_buffer =
        static_cast<std::int32_t*>(mem_alloc(int_mix_buffer_values * sizeof(std::int32_t)));
    if (audio.int_mix_buffer == nullptr) {
        diag_error_line("Failed to allocate int_mix_buffer: ", ErrorName::OutOfMemory);
        return failed_start(audio, replay, module, TeardownLine::Written, ErrorName::OutOfMemory);
    }
    // Nothing left to read: the first refill starts by rendering a tick.
    audio.mix_read_pos = int_mix_buffer_values;
    audio.mix_fill_len = 0;

    for (int i = 0; i < audio_block_count; ++i) {
        result = waveOutWrite(device, &audio.blocks[i].header, header_size);
        if (result != MMSYSERR_NOERROR) {
            diag_line_uints("Initial waveOutWrite failed for block ", i, ": ", result, "\n");
            return failed_start(audio, replay, module, TeardownLine::Written,
                                ErrorName::WaveOutWriteFailed);
        }
    }
    diag_line("Audio initialized successfully using embedded data.\n");
    return ErrorName::Ok;
}

void audio_refill_block(AudioOutput& audio, Replay* replay, WAVEHDR* header) {
    // Drops the notices the device returns during and after the shutdown.
    if (!audio.device_open || replay == nullptr) return;
    AudioBlock* block = block_of(audio, header);
    if (block == nullptr || !returned_by_device(*block)) return;

    std::int16_t* samples = block->block_samples;
    for (int i = 0; i < audio_block_samples; ++i) samples[i] = 0;
    std::uint64_t filled = 0;
    while (filled < audio_block_samples) {
        if (audio.mix_read_pos >= audio.mix_fill_len) {
            std::int32_t frames = mix_tick(replay, audio.int_mix_buffer);
            if (frames <= 0) break;
            audio.mix_fill_len = 2 * static_cast<std::uint64_t>(frames);
            audio.mix_read_pos = 0;
        }
        std::uint64_t available = audio.mix_fill_len - audio.mix_read_pos;
        std::uint64_t room = audio_block_samples - filled;
        std::uint64_t count = available < room ? available : room;
        copy_saturated(audio.int_mix_buffer + audio.mix_read_pos, samples + filled, count);
        audio.mix_read_pos += count;
        filled += count;
    }
    // A block that got nothing leaves the rotation.
    if (filled == 0) return;

    header->dwBufferLength = static_cast<DWORD>(filled * sizeof(std::int16_t));
    MMRESULT result = waveOutWrite(audio.device, header, header_size);
    if (result != MMSYSERR_NOERROR) diag_line_uint("!W", result, "");
}

void audio_deinit(AudioOutput& audio, Replay*& replay, Module*& module) {
    release_all(audio, replay, module);
    diag_line("Audio deinitialized.\n");
}
