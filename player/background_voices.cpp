#include "player/background_voices.h"
#include "player/channel_output.h"
#include "player/envelope.h"

namespace {

enum NoteAction : std::int32_t { cut = 0, keep_playing = 1, note_off = 2, note_fade = 3 };
enum DuplicateCheck : std::uint8_t { no_check = 0, same_key = 1, same_sample = 2 };

Channel* first_voice(Replay& replay) {
    return replay.channels + replay.module->channel_count;
}
Channel* voices_end(Replay& replay) {
    return replay.channels + replay.voice_count;
}

// A note sounds until its sample without a loop has played to its end or
// it has faded out (a cut fades it out at once).
bool sounds(const Channel& voice) {
    const Sample& sample = *voice.sample;
    const bool ended = sample.loop_length < 2 && voice.position >= sample.loop_start;
    return voice.fade_level > 0 && !ended;
}

void act_on(Channel& voice, NoteAction action) {
    switch (action) {
    case cut:
        voice.fade_level = 0;
        voice.amplitude = 0;
        break;
    case note_off:
        release_key(voice, true, true);
        break;
    case note_fade:
        voice.fading = 1;
        break;
    default:
        break;
    }
}

// A free voice, or else the quietest, the oldest of equally quiet ones.
Channel& voice_to_take(Replay& replay) {
    Channel* taken = first_voice(replay);
    for (Channel* voice = first_voice(replay); voice != voices_end(replay); ++voice) {
        if (!sounds(*voice)) return *voice;
        const std::uint32_t age = replay.notes_moved - voice->background_since;
        const std::uint32_t taken_age = replay.notes_moved - taken->background_since;
        if (voice->amplitude < taken->amplitude ||
            (voice->amplitude == taken->amplitude && age > taken_age))
            taken = voice;
    }
    return *taken;
}

void move_to_background(Channel& channel) {
    Replay& replay = *channel.replay;
    Channel& voice = voice_to_take(replay);
    voice = channel;
    voice.note = Note{};
    voice.background_since = replay.notes_moved++;
    act_on(voice, static_cast<NoteAction>(channel.new_note_action));
}

bool duplicates(const Channel& voice, const Instrument& instrument, const Sample& sample,
                std::int32_t key) {
    if (voice.instrument != &instrument) return false;
    switch (instrument.duplicate_check) {
    case same_key:
        return voice.last_key == key;
    case same_sample:
        return voice.sample == &sample;
    default:
        return true;
    }
}

// The channel's background notes, each as `act` says.
template <typename Act> void for_past_notes(Channel& channel, Act act) {
    Replay& replay = *channel.replay;
    for (Channel* voice = first_voice(replay); voice != voices_end(replay); ++voice) {
        if (voice->index == channel.index && sounds(*voice)) act(*voice);
    }
}

} // namespace

std::int32_t voice_count_of(const Module& module) {
    return module.channel_count + (rules_of(module).new_note_actions ? background_voice_count : 0);
}

void free_background_voices(Replay& replay) {
    const Instrument& none = replay.module->instruments[0];
    for (Channel* voice = first_voice(replay); voice != voices_end(replay); ++voice) {
        *voice = Channel{};
        voice->replay = &replay;
        voice->instrument = &none;
        voice->sample = &none.samples[0];
    }
}

void hand_over_note(Channel& channel, const Instrument& instrument, const Sample& sample) {
    Replay& replay = *channel.replay;
    const bool room = first_voice(replay) != voices_end(replay);
    if (room && channel.new_note_action != cut && channel.volume > 0 && sounds(channel))
        move_to_background(channel);
    if (instrument.duplicate_check == no_check) return;
    const std::int32_t key = channel.note.key;
    const auto action = static_cast<NoteAction>(
        instrument.duplicate_action == 0 ? cut : instrument.duplicate_action + 1);
    for_past_notes(channel, [&](Channel& voice) {
        if (duplicates(voice, instrument, sample, key)) act_on(voice, action);
    });
}

void apply_instrument_control(Channel& channel, std::int32_t x) {
    const PlayRules& rules = rules_of(*channel.replay->module);
    if (x <= 2 && rules.new_note_actions) {
        const auto action = static_cast<NoteAction>(x == 0 ? cut : x + 1);
        for_past_notes(channel, [action](Channel& voice) { act_on(voice, action); });
    } else if (x <= 6 && rules.new_note_actions) {
        channel.new_note_action = x - 3;
    } else if (x <= 12 && rules.envelope_pause_commands) {
        std::int32_t& paused = x <= 8    ? channel.volume_envelope_paused
                               : x <= 10 ? channel.panning_envelope_paused
                                         : channel.pitch_envelope_paused;
        paused = (x & 1) != 0 ? 1 : 0;
    }
}

void advance_background_voices(Replay& replay) {
    for (Channel* voice = first_voice(replay); voice != voices_end(replay); ++voice) {
        if (!sounds(*voice)) {
            voice->amplitude = 0;
            continue;
        }
        voice->period_offset = 0;
        update_outputs(*voice);
    }
}
