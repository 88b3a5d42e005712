#include "player/it_counters.h"
#include <algorithm>

namespace {

constexpr std::int32_t tremor_sounds = 0x80;

} // namespace

void count_it_tremor(Channel& channel) {
    std::int32_t sounds = channel.it_tremor_state & tremor_sounds;
    std::int32_t left = channel.it_tremor_state & 0x7F;
    if (left == 0) {
        sounds ^= tremor_sounds;
        const std::int32_t ticks =
            sounds != 0 ? channel.tremor_audible_ticks : channel.tremor_silent_ticks;
        left = std::max(ticks + (rules_of(channel).tremor_phases_one_longer ? 1 : 0), 1);
    }
    channel.it_tremor_state = sounds | (left - 1);
    channel.volume_offset = sounds != 0 ? 0 : -64;
}

void count_it_retrigger(Channel& channel) {
    // A note struck on this tick starts the count; it restarts nothing yet.
    if (on_first_tick(channel) && channel.ticks_since_trigger == 0) {
        channel.retrigger_count = channel.retrigger_interval;
        return;
    }
    channel.retrigger_count -= 1;
    if (channel.retrigger_count > 0) return;
    channel.retrigger_count = channel.retrigger_interval;
    retrigger_note(channel);
}
