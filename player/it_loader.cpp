// The IT loader: the header, the order list, the channels' panning, and
// packed patterns whose channel masks and remembered values unpack into the
// data model's notes. Effect letters take the replay's S3M codes where they
// mean the same; the instruments are it_instruments' part.
#include "player/it_loader.h"
#include "player/effect_codes.h"
#include "player/it_instruments.h"
#include "player/it_midi_config.h"
#include "player/load_data.h"
#include <algorithm>

namespace {

constexpr std::size_t order_table = 0xC0;
constexpr std::int32_t it_channels = 64;
constexpr std::int32_t most_rows = 200;
constexpr std::int32_t empty_pattern_rows = 64;
// Entries 254 (skipped) and 255 (the end) name no pattern.
constexpr std::int32_t most_patterns = 254;
// Instrument numbers are one byte in a pattern cell.
constexpr std::int32_t most_instruments = 255;
constexpr std::uint8_t disabled_channel = 128, surround_pan = 100, surround_command = 0x91;
constexpr std::int32_t stereo_flag = 1, instrument_flag = 4, linear_flag = 8, old_effects_flag = 16,
                       linked_memory_flag = 32;
// Special: an edit history (a count, then 8 bytes an entry) and a MIDI
// configuration follow the pattern pointers.
constexpr std::int32_t edit_history_flag = 2, midi_config_flag = 8;
constexpr std::int32_t new_instrument_version = 0x200;
constexpr std::uint8_t it_note_off = 255, it_note_cut = 254;
constexpr std::uint8_t highest_volume = 64, lowest_pan = 128, highest_pan = 192;
constexpr std::uint8_t fine_up = 65, fine_down = 75, slide_up = 85, slide_down = 95,
                       pitch_down = 105, pitch_up = 115, tone_slide = 193, vibrato_depth = 203;
constexpr std::size_t pattern_header_bytes = 8;

struct ItHeader {
    std::int32_t order_count, instrument_count, sample_count, pattern_count;
    std::int32_t compatible_version, flags, special;
    std::size_t pattern_pointers;
    ItLayout layout;
};

ItHeader read_header(const LoadData& data) {
    ItHeader header{};
    header.order_count = data.little_word(0x20);
    header.instrument_count = data.little_word(0x22);
    header.sample_count = data.little_word(0x24);
    header.pattern_count = data.little_word(0x26);
    header.compatible_version = data.little_word(0x2A);
    header.flags = data.little_word(0x2C);
    header.special = data.little_word(0x2E);
    ItLayout& layout = header.layout;
    layout.instrument_count = header.instrument_count;
    layout.sample_count = header.sample_count;
    layout.instrument_pointers = order_table + static_cast<std::size_t>(header.order_count);
    layout.sample_pointers =
        layout.instrument_pointers + 4 * static_cast<std::size_t>(header.instrument_count);
    header.pattern_pointers =
        layout.sample_pointers + 4 * static_cast<std::size_t>(header.sample_count);
    layout.instrument_mode = (header.flags & instrument_flag) != 0;
    layout.old_instruments = header.compatible_version < new_instrument_version;
    return header;
}

const char* refusal(const ItHeader& header, std::size_t length) {
    if (header.instrument_count > most_instruments || header.sample_count > most_instruments)
        return "IT file has more than 255 instruments or samples";
    if (length < header.pattern_pointers + 4 * static_cast<std::size_t>(header.pattern_count))
        return "IT file is cut short in its header";
    return nullptr;
}

std::uint8_t it_key(std::uint8_t note) {
    if (note == it_note_off) return key_note_off;
    if (note == it_note_cut) return key_note_cut;
    if (note >= highest_key) return key_note_fade;
    return static_cast<std::uint8_t>(it_note_key(note));
}

// The volume column in the replay's numbering (the XM one); panning keeps
// four bits; the pitch slides take the panning slides' codes, which IT's
// rules read as pitch slides, and the tone slide keeps its table index.
std::uint8_t it_volume(std::uint8_t volume) {
    const auto code = [](int high, int x) { return static_cast<std::uint8_t>(high << 4 | x); };
    if (volume <= highest_volume) return static_cast<std::uint8_t>(0x10 + volume);
    if (volume < fine_down) return code(0x9, volume - fine_up);
    if (volume < slide_up) return code(0x8, volume - fine_down);
    if (volume < slide_down) return code(0x7, volume - slide_up);
    if (volume < pitch_down) return code(0x6, volume - slide_down);
    if (volume >= lowest_pan && volume <= highest_pan)
        return code(0xC, ((volume - lowest_pan) * 15 + 32) / 64);
    if (volume < pitch_up) return code(0xD, volume - pitch_down);
    if (volume < pitch_up + 10) return code(0xE, volume - pitch_up);
    if (volume >= tone_slide && volume < vibrato_depth) return code(0xF, volume - tone_slide);
    if (volume >= vibrato_depth && volume < vibrato_depth + 10)
        return code(0xB, volume - vibrato_depth);
    return 0;
}

// An effect letter (1 = A .. 26 = Z) as the replay's code. IT's break row
// is hexadecimal, the replay's decimal; its global volume runs to 128 (more
// is ignored) and its panning to 255; the letters Scream Tracker has not, and
// S5x and SAx, take codes of their own.
void it_effect(std::uint8_t command, std::uint8_t info, std::uint8_t& effect, std::uint8_t& param) {
    effect = param = 0;
    const auto take = [&](std::uint8_t code, std::uint8_t value) { effect = code, param = value; };
    switch (command) {
    case 3:
        take(effect::s3m_pattern_break,
             static_cast<std::uint8_t>(std::min(info / 10, 15) << 4 | info % 10));
        break;
    case 13:
        take(effect::channel_volume, info);
        break;
    case 14:
        take(effect::channel_volume_slide, info);
        break;
    case 16:
        take(effect::it_panning_slide, info);
        break;
    case 19:
        if (info >> 4 == 5) {
            take(effect::panbrello_shape, info & 15);
        } else if (info >> 4 == 10) {
            take(effect::high_offset, info & 15);
        } else if ((info | 1) == surround_command) {
            take(effect::surround, info & 1);
        } else {
            take(effect::s3m_extended, info);
        }
        break;
    case 20:
        take(info < 0x20 ? effect::tempo_slide : effect::s3m_tempo, info);
        break;
    case 22:
        if (info <= 128) take(effect::s3m_set_global_volume, info);
        break;
    case 23:
        take(effect::it_global_volume_slide, info);
        break;
    case 24:
        take(effect::set_panning, info);
        break;
    case 25:
        take(effect::panbrello, info);
        break;
    case 26:
        take(effect::it_midi_macro, info);
        break;
    default:
        if (command >= 1 && command <= 21) take(static_cast<std::uint8_t>(0x80 + command), info);
        break;
    }
}

// What a channel's cells left for the next ones to take up.
struct ChannelMemory {
    std::uint8_t mask, note, instrument, volume, command, info;
};

// Unpacks `packed` (the pattern's data alone) row by row into `pattern`.
// Notes of disabled channels are dropped; their effects stay.
void decode_pattern(Pattern& pattern, const LoadData& packed, const std::uint8_t* pans) {
    ChannelMemory memory[it_channels] = {};
    std::size_t at = 0;
    for (std::int32_t row = 0; row < pattern.row_count && at < packed.length; ++row) {
        for (std::uint8_t marker = packed.byte(at++); marker != 0; marker = packed.byte(at++)) {
            const std::int32_t channel = (marker - 1) & 63;
            ChannelMemory& last = memory[channel];
            if ((marker & 128) != 0) last.mask = packed.byte(at++);
            const std::uint8_t mask = last.mask;
            if ((mask & 1) != 0) last.note = packed.byte(at++);
            if ((mask & 2) != 0) last.instrument = packed.byte(at++);
            if ((mask & 4) != 0) last.volume = packed.byte(at++);
            if ((mask & 8) != 0) {
                last.command = packed.byte(at);
                last.info = packed.byte(at + 1);
                at += 2;
            }
            if (channel >= pattern.channel_count) continue;
            std::uint8_t* note =
                pattern.notes + (row * pattern.channel_count + channel) * note_size;
            const bool plays = pans[channel] < disabled_channel;
            if ((mask & 0x11) != 0 && plays) note[0] = it_key(last.note);
            if ((mask & 0x22) != 0 && plays) note[1] = last.instrument;
            if ((mask & 0x44) != 0 && plays) note[2] = it_volume(last.volume);
            if ((mask & 0x88) != 0) it_effect(last.command, last.info, note[3], note[4]);
            // A panning without an effect beside it keeps all of IT's steps
            // as the effect that sets it.
            const bool pans = last.volume >= lowest_pan && last.volume <= highest_pan;
            if ((mask & 0x44) != 0 && plays && pans && note[3] == 0) {
                note[2] = 0;
                note[3] = effect::column_panning;
                note[4] = static_cast<std::uint8_t>(last.volume - lowest_pan);
            }
        }
    }
}

std::size_t pattern_at(const LoadData& data, const ItHeader& header, std::int32_t p) {
    return data.little_dword(header.pattern_pointers + 4 * static_cast<std::size_t>(p));
}

// The channels any pattern names, counted up to the highest.
std::int32_t used_channels(const LoadData& data, const ItHeader& header) {
    std::int32_t used = 1;
    for (std::int32_t p = 0; p < std::min(header.pattern_count, most_patterns); ++p) {
        const std::size_t at = pattern_at(data, header, p);
        if (at == 0) continue;
        const LoadData packed =
            part(data, at + pattern_header_bytes, static_cast<std::uint64_t>(data.little_word(at)));
        std::uint8_t masks[it_channels] = {};
        for (std::size_t i = 0; i < packed.length;) {
            const std::uint8_t marker = packed.byte(i++);
            if (marker == 0) continue;
            const std::int32_t channel = (marker - 1) & 63;
            if ((marker & 128) != 0) masks[channel] = packed.byte(i++);
            const std::uint8_t mask = masks[channel];
            i += ((mask & 1) != 0) + ((mask & 2) != 0) + ((mask & 4) != 0) + 2 * ((mask & 8) != 0);
            used = std::max(used, channel + 1);
        }
    }
    return used;
}

bool load_patterns(Module& module, const LoadData& data, const ItHeader& header,
                   std::uint64_t& announced_end) {
    module.pattern_count = std::min(header.pattern_count, most_patterns);
    module.patterns = allocate<Pattern>(std::max(module.pattern_count, 1));
    if (!module.patterns) return false;
    for (std::int32_t p = 0; p < module.pattern_count; ++p) {
        Pattern& pattern = module.patterns[p];
        const std::size_t at = pattern_at(data, header, p);
        pattern.row_count = empty_pattern_rows;
        const std::uint64_t stored = static_cast<std::uint64_t>(data.little_word(at));
        if (at != 0) announced_end = std::max(announced_end, at + pattern_header_bytes + stored);
        // An absent pattern, or one past the end, is empty: it allocates nothing.
        if (at == 0 || at >= data.length) continue;
        pattern.row_count = std::clamp(data.little_word(at + 2), 1, most_rows);
        pattern.channel_count = module.channel_count;
        pattern.notes =
            allocate<std::uint8_t>(pattern.row_count * module.channel_count * note_size);
        if (!pattern.notes) return false;
        decode_pattern(pattern, part(data, at + pattern_header_bytes, stored), data.bytes + 0x40);
    }
    return true;
}

// Channel pans 0..64 spread over the replay's 0..255; surround channels
// sound in the middle, in a mono song without their surround.
bool load_panning(Module& module, const LoadData& data, const ItHeader& header) {
    module.channel_panning = allocate<std::uint8_t>(module.channel_count);
    module.channel_surround = allocate<std::uint8_t>(module.channel_count);
    if (!module.channel_panning || !module.channel_surround) return false;
    const bool stereo = (header.flags & stereo_flag) != 0;
    for (std::int32_t c = 0; c < module.channel_count; ++c) {
        const std::int32_t pan = data.byte(0x40 + static_cast<std::size_t>(c)) & 127;
        const bool centred = !stereo || pan == surround_pan;
        module.channel_panning[c] =
            static_cast<std::uint8_t>(centred ? 128 : std::min(std::min(pan, 64) * 4, 255));
        module.channel_surround[c] = stereo && pan == surround_pan ? 1 : 0;
    }
    return true;
}

bool load_channel_volumes(Module& module, const LoadData& data) {
    module.channel_volume = allocate<std::uint8_t>(module.channel_count);
    if (!module.channel_volume) return false;
    for (std::int32_t c = 0; c < module.channel_count; ++c) {
        module.channel_volume[c] = static_cast<std::uint8_t>(
            std::min<std::int32_t>(data.byte(0x80 + static_cast<std::size_t>(c)), 64));
    }
    return true;
}

void set_header_values(Module& module, const LoadData& data, const ItHeader& header) {
    convert_name(module.title, data, 4, 26);
    module.initial_global_volume = std::min<std::int32_t>(data.byte(0x30), 128);
    module.initial_speed = data.byte(0x32) == 0 ? 6 : data.byte(0x32);
    module.initial_tempo = data.byte(0x33) < 32 ? 125 : data.byte(0x33);
    module.reference_rate = 8363;
    module.linear_pitch = (header.flags & linear_flag) != 0 ? 1 : 0;
    // The mix volume (48 by default) scales every channel; at 64 and above
    // the samples play as loud as in the other formats, which is as loud as
    // the mixer's headroom allows.
    module.mix_gain = std::max(mix_gain_for_channels(module.channel_count) *
                                   std::min<std::int32_t>(data.byte(0x31), 64) / 64,
                               1);
    module.pan_narrowing = 128 - std::min<std::int32_t>(data.byte(0x34), 128);
    module.rules = impulse_tracker_rules;
    module.key_shift = it_key_shift;
    module.rules.scream_tracker_period_table = module.linear_pitch == 0;
    const bool own_effects = (header.flags & old_effects_flag) == 0;
    module.rules.vibrato_every_tick_at_half_depth = own_effects;
    module.rules.offset_past_end_ignored = own_effects;
    module.rules.tremolo_every_tick = own_effects;
    module.rules.tremor_phases_one_longer = !own_effects;
    module.rules.lone_instrument_restarts_envelopes = !own_effects;
    module.rules.keys_without_sample_ignored = header.layout.instrument_mode;
    module.rules.lone_instrument_keeps_sample = header.layout.instrument_mode;
    module.rules.tone_slide_instrument_changes_sample =
        header.layout.instrument_mode && (header.flags & linked_memory_flag) == 0;
    module.rules.released_note_keeps_sliding = header.layout.instrument_mode;
    module.rules.slide_to_other_sample_presses_key =
        module.rules.tone_slide_instrument_changes_sample;
    module.rules.slide_on_released_key_keeps_released_loop =
        module.rules.tone_slide_instrument_changes_sample;
    module.rules.tone_slide_shares_pitch_memory = (header.flags & linked_memory_flag) != 0;
    module.rules.tone_slide_keeps_envelopes = (header.flags & linked_memory_flag) == 0;
    // Notes of sample mode end as in the other formats: one voice a channel.
    module.rules.new_note_actions = header.layout.instrument_mode;
}

bool load_midi_config(Module& module, const LoadData& data, const ItHeader& header,
                      std::uint64_t& announced_end) {
    std::size_t at = header.pattern_pointers + 4 * static_cast<std::size_t>(header.pattern_count);
    if ((header.special & edit_history_flag) != 0)
        at += 2 + 8 * static_cast<std::size_t>(data.little_word(at));
    const bool embedded = (header.special & midi_config_flag) != 0;
    return it_load_midi_config(module, data, at, embedded, announced_end);
}

} // namespace

bool it_signature(const std::uint8_t* data, std::size_t length) {
    return has_signature(LoadData{data, length}, 0, "IMPM");
}

Module* it_load(const std::uint8_t* bytes, std::size_t length, char load_message[load_message_size],
                std::uint64_t& announced_end) {
    const LoadData data{bytes, length};
    const ItHeader header = read_header(data);
    announced_end = header.pattern_pointers + 4 * static_cast<std::size_t>(header.pattern_count);
    const char* reason = refusal(header, length);
    if (reason) {
        set_message(load_message, reason);
        return nullptr;
    }
    Module* module = allocate<Module>(1);
    if (!module) return nullptr;
    module->channel_count = used_channels(data, header);
    set_header_values(*module, data, header);
    if (!load_panning(*module, data, header) || !load_channel_volumes(*module, data) ||
        !load_order_list(*module, data, order_table, header.order_count) ||
        !load_patterns(*module, data, header, announced_end) ||
        !load_midi_config(*module, data, header, announced_end) ||
        !it_load_instruments(*module, data, header.layout, announced_end)) {
        module_dispose(module);
        return nullptr;
    }
    // A song whose first entry ends it still plays its one empty entry.
    module->song_length = std::max(module->song_length, 1);
    return module;
}
