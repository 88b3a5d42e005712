// The headless host's audio sink: it plays 48000 frames per second of virtual
// time. Blocks play back to back; when the queue runs dry, playing resumes at
// the next submission. Everything runs on the thread that drives the clock.
#include "platform/headless/headless_audio.h"
#include "base/wav_file.h"
#include "platform/host.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace {

constexpr std::uint64_t frames_per_second = 48000;
constexpr std::uint64_t microseconds_per_second = 1000000;
constexpr std::uint64_t bytes_per_frame = 4;

struct HeadlessSink {
    std::deque<WAVEHDR*> queue;
    // The current run of back-to-back blocks: when it began and how many of
    // its frames have been played. Times derive from the frame count, so no
    // rounding accumulates over a long run.
    std::uint64_t run_start_us;
    std::uint64_t run_frames;
    std::vector<std::int16_t> played;
    std::uint64_t first_start_us =
        UINT64_MAX; // when the first of `played` began; UINT64_MAX before
};

HeadlessSink sink;

std::uint64_t frames_of(const WAVEHDR* header) {
    return header->dwBufferLength / bytes_per_frame;
}

// The first whole microsecond at which `frames` frames of the run have played.
std::uint64_t run_time_after(std::uint64_t frames) {
    return sink.run_start_us +
           (frames * microseconds_per_second + frames_per_second - 1) / frames_per_second;
}

void record(const WAVEHDR* header, std::uint64_t frames) {
    const auto* samples = reinterpret_cast<const std::int16_t*>(header->lpData);
    sink.played.insert(sink.played.end(), samples, samples + frames * 2);
}

} // namespace

bool host_audio_open() {
    sink.queue.clear();
    sink.played.clear();
    sink.first_start_us = UINT64_MAX;
    return true;
}

void host_audio_submit(WAVEHDR* header) {
    if (sink.queue.empty()) {
        sink.run_start_us = host_time_us();
        sink.run_frames = 0;
        if (sink.first_start_us == UINT64_MAX) sink.first_start_us = sink.run_start_us;
    }
    sink.queue.push_back(header);
}

void host_audio_reset() {
    if (!sink.queue.empty()) {
        // What the device had played of the block it was in the middle of.
        const std::uint64_t run_elapsed_frames =
            (host_time_us() - sink.run_start_us) * frames_per_second / microseconds_per_second;
        const WAVEHDR* current = sink.queue.front();
        if (run_elapsed_frames > sink.run_frames) {
            record(current, std::min(run_elapsed_frames - sink.run_frames, frames_of(current)));
        }
    }
    sink.queue.clear();
}

void host_audio_close() {
    sink.queue.clear();
}

std::uint64_t headless_audio_next_completion_us() {
    if (sink.queue.empty()) return UINT64_MAX;
    return run_time_after(sink.run_frames + frames_of(sink.queue.front()));
}

void headless_audio_advance_to(std::uint64_t now_us) {
    while (!sink.queue.empty() && headless_audio_next_completion_us() <= now_us) {
        WAVEHDR* header = sink.queue.front();
        sink.queue.pop_front();
        record(header, frames_of(header));
        sink.run_frames += frames_of(header);
        platform_audio_block_done(header);
    }
}

const std::int16_t* headless_audio_played(std::uint64_t* sample_count) {
    *sample_count = sink.played.size();
    return sink.played.data();
}

std::uint64_t headless_audio_started_us() {
    return sink.first_start_us;
}

bool headless_audio_save_wav(const char* path) {
    return wav_write_file(path, sink.played.data(), sink.played.size(),
                          static_cast<std::uint32_t>(frames_per_second), 2);
}
