// The headless host's audio sink on the virtual clock: the device plays 48000
// frames per second of virtual time. The headless clock asks it when the next
// block completes and lets it complete every block due by a given time.
#pragma once
#include <cstdint>

// Virtual time at which the block now playing completes; UINT64_MAX if none.
std::uint64_t headless_audio_next_completion_us();
// Completes (platform_audio_block_done) every block due at or before now_us,
// in order, recording what was played.
void headless_audio_advance_to(std::uint64_t now_us);
// Every sample the device has played since it was last opened (a block cut
// short by a reset: the part played before it), interleaved stereo 16-bit.
const std::int16_t* headless_audio_played(std::uint64_t* sample_count);
// Virtual time at which the first of those samples began to play; UINT64_MAX
// before the first block was written.
std::uint64_t headless_audio_started_us();
// Writes what the device played as a 48 kHz 16-bit stereo WAV file.
bool headless_audio_save_wav(const char* path);
