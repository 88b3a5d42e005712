#include "player/note_levels.h"
#include <algorithm>

namespace {

constexpr std::int32_t column_set_panning = 0xC;

// A value in -range..range from the replay's generator, which starts the
// same in every replay so that renders repeat.
std::int32_t swing(Replay& replay, std::int32_t range) {
    if (range <= 0) return 0;
    replay.random_state = replay.random_state * 1103515245u + 12345u;
    const auto drawn = static_cast<std::int32_t>((replay.random_state >> 16) & 0x7FFF);
    return drawn % (2 * range + 1) - range;
}

} // namespace

void pan_struck_note(Channel& channel, std::int32_t key) {
    const Instrument& instrument = *channel.instrument;
    channel.volume_swing = swing(*channel.replay, instrument.random_volume);
    // A panning the last note borrowed, and no command has moved since (even
    // to the same place), gives the channel's own back (its surround too);
    // one a command set becomes the channel's own. A borrowed panning is
    // never surround.
    if (!channel.pan_borrowed || channel.surround) {
        channel.home_panning = channel.panning;
        channel.home_surround = channel.surround;
    }
    // A panning beside the note, which acted before it, has the last word.
    if ((channel.note.volume >> 4) == column_set_panning) {
        channel.pan_borrowed = 0;
        return;
    }
    std::int32_t pan = channel.home_panning;
    channel.surround = channel.home_surround;
    if (channel.sample->panning > 0 || instrument.default_pan > 0) {
        pan =
            channel.sample->panning > 0 ? channel.sample->panning - 1 : instrument.default_pan - 1;
        channel.surround = 0;
    }
    // Separation counts 1/8 of IT's 64 steps (here 256) a semitone.
    pan += (key - instrument.pitch_pan_centre) * instrument.pitch_pan_separation / 2;
    // Impulse Tracker 2.14 reads the panning swing but leaves it out; the
    // files that set it mean it, and later trackers play it.
    pan += swing(*channel.replay, instrument.random_pan * 4);
    channel.panning = std::clamp(pan, 0, full_right(rules_of(*channel.replay->module)));
    channel.pan_borrowed =
        channel.panning != channel.home_panning || channel.surround != channel.home_surround;
}
