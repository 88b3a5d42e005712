// Loads arbitrary bytes as a module and plays every module that loads through
// its whole song, once without and once with interpolation; then plays a
// while at the show's rate from a song position taken from the data. The
// sanitizers turn any out-of-bounds access, signed overflow or leak into a
// crash.
#include "fuzz/song_player.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstdint>

namespace {

constexpr std::int32_t show_rate_ticks = 200;

void play_song(const Module& module, bool interpolate, fuzz::MixBuffers& buffers) {
    Replay* replay = new_replay(&module, fuzz::song_output_rate, interpolate);
    if (!replay) return;
    fuzz::play_whole_song(*replay, buffers);
    replay_dispose(replay);
}

void play_at_show_rate(const Module& module, std::uint8_t choice, fuzz::MixBuffers& buffers) {
    Replay* replay = new_replay(&module, fuzz::show_output_rate, (choice & 0x80) != 0);
    if (!replay) return;
    // Entries at or past the song's end restart at entry 0.
    start_sequence_at(replay, choice & 0x7F);
    fuzz::mix_ticks(*replay, buffers, show_rate_ticks);
    replay_dispose(replay);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MixBuffers buffers;
    char load_message[load_message_size] = {};
    Module* module = module_load(data, size, load_message);
    if (!module) return 0;
    play_song(*module, false, buffers);
    play_song(*module, true, buffers);
    // Byte 951 is unused by the loader: a free choice of interpolation and
    // restart entry.
    play_at_show_rate(*module, size > 951 ? data[951] : 0, buffers);
    module_dispose(module);
    return 0;
}
