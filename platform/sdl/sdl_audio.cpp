// The SDL2 host's audio sink: SDL's audio thread pulls the submitted blocks in
// order at 48 kHz, 16-bit stereo. Finished blocks are handed to the core on
// the message-loop thread (in host_wait_until), never from the audio thread,
// so that closing the device can never wait on a thread that waits on the core.
#include "platform/host.h"
#include "platform/sdl/sdl_host.h"
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace {

// One block's worth, a power of two: SDL rounds the device buffer up to a
// power of two, and its dummy and disk drivers pace themselves by sleeping for
// that buffer in whole milliseconds while asking for only the frames we asked
// for; with 4096 frames they keep real time within half a percent.
constexpr int callback_frames = 4096;

std::mutex lock;
std::deque<WAVEHDR*> queued;    // submitted, not yet played in full
std::size_t played_bytes = 0;   // of the front block
std::vector<WAVEHDR*> finished; // played, not yet handed to the core
bool streaming = false;         // blocks were submitted since the last reset
std::uint64_t callbacks = 0;
std::uint64_t dry_callbacks = 0;
SDL_AudioDeviceID device = 0;

void SDLCALL fill_stream(void*, Uint8* stream, int length) {
    bool woke_any = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        ++callbacks;
        std::size_t filled = 0;
        while (filled < std::size_t(length) && !queued.empty()) {
            WAVEHDR* header = queued.front();
            std::size_t left = header->dwBufferLength - played_bytes;
            std::size_t take = std::min(left, std::size_t(length) - filled);
            std::memcpy(stream + filled, header->lpData + played_bytes, take);
            filled += take;
            played_bytes += take;
            if (played_bytes == header->dwBufferLength) {
                queued.pop_front();
                played_bytes = 0;
                finished.push_back(header);
                woke_any = true;
            }
        }
        if (filled < std::size_t(length)) {
            std::memset(stream + filled, 0, std::size_t(length) - filled);
            if (streaming) ++dry_callbacks;
        }
    }
    if (woke_any) host_wake();
}

void forget_blocks() {
    std::lock_guard<std::mutex> guard(lock);
    queued.clear();
    finished.clear();
    played_bytes = 0;
    streaming = false;
}

} // namespace

bool host_audio_open() {
    if (device != 0) return false;
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = 48000;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = callback_frames;
    wanted.callback = fill_stream;
    SDL_AudioSpec obtained;
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) return false;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void host_audio_submit(WAVEHDR* header) {
    std::lock_guard<std::mutex> guard(lock);
    queued.push_back(header);
    streaming = true;
}

void host_audio_reset() {
    forget_blocks();
}

void host_audio_close() {
    if (device != 0) SDL_CloseAudioDevice(device);
    device = 0;
    forget_blocks();
}

int sdl_audio_deliver_finished() {
    std::vector<WAVEHDR*> done;
    {
        std::lock_guard<std::mutex> guard(lock);
        done.swap(finished);
    }
    for (WAVEHDR* header : done) platform_audio_block_done(header);
    return int(done.size());
}

void sdl_audio_stats(std::uint64_t* callback_count, std::uint64_t* dry_count) {
    std::lock_guard<std::mutex> guard(lock);
    *callback_count = callbacks;
    *dry_count = dry_callbacks;
}
