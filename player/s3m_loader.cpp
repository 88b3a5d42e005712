// The S3M loader. Sample and AdLib melody channels keep their order;
// disabled channels and AdLib drums are left out; orders, packed patterns, effect letters, the
// volume column and samples of every stored kind become the data model's values, so the replay
// plays the song without knowing its format.
#include "player/s3m_loader.h"
#include "player/effect_codes.h"
#include "player/load_data.h"
#include "player/sample_prep.h"
#include <algorithm>

namespace {

constexpr std::size_t header_order_offset = 96;
constexpr std::int32_t s3m_channel_slots = 32;
constexpr std::int32_t s3m_row_count = 64;
// Order entries 254 (a marker, skipped) and 255 (the end of the song) name
// no pattern, so no pattern beyond 253 can ever play.
constexpr std::int32_t most_patterns = 254;
constexpr std::uint8_t end_of_song = 255;
// Instrument numbers are one byte in a pattern cell.
constexpr std::int32_t most_instruments = 255;
// Scream Tracker's periods are four times the Amiga ones, with
// 14317056 / period Hz, the scale of the replay's Amiga pitch.
constexpr std::int32_t s3m_reference_rate = middle_c_reference_rate;
constexpr std::int32_t note_cut = 254, no_note = 255;
// Header flag: volume slides also act on the row's first tick, as in
// Scream Tracker 3.00, whose files carry the version 0x1300.
constexpr std::int32_t fast_volume_slides = 0x40;
constexpr std::int32_t fast_slides_version = 0x1300;
// Header flag: slides keep periods inside the Amiga's range.
constexpr std::int32_t amiga_limits = 0x10;
constexpr std::uint8_t stereo_flag = 0x80;
constexpr std::uint8_t pan_table_present = 252;
constexpr std::size_t instrument_header_bytes = 80;
// Channel settings: 0..7 left and 8..15 right sample channels, 16..24 the
// AdLib melody channels (the FM chip's channels 0..8), 25..29 AdLib drums
// (the chip's rhythm mode, not played), bit 7 disabled, 255 unused.
constexpr std::uint8_t first_fm_setting = 16, last_fm_setting = 24;
constexpr std::uint8_t sample_instrument = 1, fm_instrument = 2;

struct S3mHeader {
    std::int32_t order_count;
    std::int32_t instrument_count; // as announced: the pointer table's size
    std::int32_t pattern_count;    // as announced
    bool signed_samples;
    std::size_t instrument_pointers;
    std::size_t pattern_pointers;
    std::int8_t channel_map[s3m_channel_slots]; // module channel, or -1
    bool has_fm_channels;
};

std::size_t paragraph(const LoadData& data, std::size_t pointer_offset) {
    return static_cast<std::size_t>(data.little_word(pointer_offset)) * 16;
}

// Keys 1..96 from octave (high nibble) and semitone; C-4 is key 49.
std::uint8_t s3m_key(std::uint8_t note) {
    if (note == note_cut) return key_note_off;
    const std::int32_t octave = note >> 4, semitone = note & 15;
    if (note == no_note || semitone > 11 || octave > 7) return 0;
    return static_cast<std::uint8_t>(octave * 12 + semitone + 1);
}

} // namespace

void s3m_effect(std::uint8_t command, std::uint8_t info, std::uint8_t& effect,
                std::uint8_t& param) {
    effect = param = 0;
    if (command >= 1 && command <= 22) { // A..V share the replay's S3M codes
        effect = static_cast<std::uint8_t>(0x80 + command);
        param = info;
    } else if (command == 0 && info != 0) {
        effect = effect::s3m_no_effect;
        param = info;
    } else if (command == 24 && info <= 0x80) { // X: panning 0..0x80
        effect = 0x08;
        param = static_cast<std::uint8_t>(std::min(info * 2, 255));
    }
}

namespace {

// `data` is the pattern's packed rows alone, so that a pattern never reads
// into the next one.
void decode_pattern(Pattern& pattern, const LoadData& data, const S3mHeader& header) {
    std::size_t at = 0;
    for (std::int32_t row = 0; row < s3m_row_count; ++row) {
        // A cut pattern reads zeros: every row ends at once.
        for (std::uint8_t what = data.byte(at++); what != 0; what = data.byte(at++)) {
            std::uint8_t cell[note_size] = {};
            if ((what & 0x20) != 0) {
                cell[0] = s3m_key(data.byte(at));
                cell[1] = data.byte(at + 1);
                at += 2;
            }
            if ((what & 0x40) != 0) {
                cell[2] =
                    static_cast<std::uint8_t>(0x10 + std::min<std::int32_t>(data.byte(at), 64));
                at += 1;
            }
            if ((what & 0x80) != 0) {
                s3m_effect(data.byte(at), data.byte(at + 1), cell[3], cell[4]);
                at += 2;
            }
            const std::int32_t channel = header.channel_map[what & 31];
            if (channel < 0) continue;
            std::copy_n(cell, note_size,
                        pattern.notes + (row * pattern.channel_count + channel) * note_size);
        }
    }
}

bool load_patterns(Module& module, const LoadData& data, const S3mHeader& header,
                   std::uint64_t& announced_end) {
    module.pattern_count = std::min(header.pattern_count, most_patterns);
    module.patterns = allocate<Pattern>(std::max(module.pattern_count, 1));
    if (!module.patterns) return false;
    for (std::int32_t p = 0; p < module.pattern_count; ++p) {
        Pattern& pattern = module.patterns[p];
        pattern.row_count = s3m_row_count;
        const std::size_t at = paragraph(data, header.pattern_pointers + 2 * p);
        // The length word counts itself and the packed rows.
        const std::int32_t stored = std::max(data.little_word(at), 2);
        if (at != 0) announced_end = std::max<std::uint64_t>(announced_end, at + stored);
        // A pattern that is absent or lies past the end is empty: with no
        // channels of its own it plays empty notes and allocates nothing.
        if (at == 0 || at >= data.length) continue;
        pattern.channel_count = module.channel_count;
        pattern.notes = allocate<std::uint8_t>(s3m_row_count * module.channel_count * note_size);
        if (!pattern.notes) return false;
        decode_pattern(pattern, part(data, at + 2, static_cast<std::uint64_t>(stored - 2)), header);
    }
    return true;
}

// An AdLib instrument: its register bytes, volume and C2SPD, no frames.
void load_fm_instrument(Sample& sample, const LoadData& data, std::size_t at) {
    sample.is_fm = 1;
    for (int i = 0; i < fm_patch_size; ++i)
        sample.fm_patch[i] = data.byte(at + 16 + static_cast<std::size_t>(i));
    sample.volume = static_cast<std::int16_t>(std::min<std::int32_t>(data.byte(at + 28), 64));
    set_middle_c_rate(sample, data.little_dword(at + 32));
}

// One instrument: its sample, its FM registers, or silence for packed samples.
bool load_instrument(Instrument& instrument, const LoadData& data, std::size_t at,
                     const S3mHeader& header, std::uint64_t& announced_end) {
    instrument.sample_count = 1;
    instrument.samples = allocate<Sample>(1);
    if (!instrument.samples) return false;
    Sample& sample = instrument.samples[0];
    SampleSource source{data.bytes, data.length};
    const bool is_sample = at != 0 && data.byte(at) == sample_instrument && data.byte(at + 30) == 0;
    if (at != 0 && data.byte(at) == fm_instrument) load_fm_instrument(sample, data, at);
    if (at != 0) {
        convert_name(instrument.name, data, at + 48, 28);
        announced_end = std::max<std::uint64_t>(announced_end, at + instrument_header_bytes);
    }
    if (is_sample) {
        const std::uint8_t flags = data.byte(at + 31);
        source.offset = (static_cast<std::size_t>(data.byte(at + 13)) << 16 |
                         static_cast<std::size_t>(data.little_word(at + 14))) *
                        16;
        source.frames = data.little_dword(at + 16);
        source.bytes_per_value = (flags & 4) != 0 ? 2 : 1;
        source.channels = (flags & 2) != 0 ? 2 : 1;
        source.is_unsigned = !header.signed_samples;
        const std::uint32_t loop_start = data.little_dword(at + 20),
                            loop_end = data.little_dword(at + 24);
        if ((flags & 1) != 0 && loop_end > loop_start) {
            source.loop_start = loop_start;
            source.loop_length =
                std::min(loop_end, source.frames) - std::min(loop_start, source.frames);
        }
        sample.volume = static_cast<std::int16_t>(std::min<std::int32_t>(data.byte(at + 28), 64));
        set_middle_c_rate(sample, data.little_dword(at + 32));
        if (source.frames > 0) {
            announced_end = std::max(announced_end, source.offset + stored_bytes(source));
        }
    }
    return prepare_sample(sample, source);
}

bool load_instruments(Module& module, const LoadData& data, const S3mHeader& header,
                      std::uint64_t& announced_end) {
    module.instrument_count = std::min(header.instrument_count, most_instruments);
    module.instruments = allocate<Instrument>(module.instrument_count + 1);
    if (!module.instruments) return false;
    if (!add_empty_instrument(module)) return false;
    for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
        const std::size_t at = paragraph(data, header.instrument_pointers + 2 * (n - 1));
        if (!load_instrument(module.instruments[n], data, at, header, announced_end)) return false;
    }
    return true;
}

// Left channels slightly left, right channels slightly right, as the
// tracker plays them; a pan table may place each; a mono song is centred.
// The FM chip is mono: its channels sound in the middle whatever the table.
bool load_panning(Module& module, const LoadData& data, const S3mHeader& header) {
    module.channel_panning = allocate<std::uint8_t>(module.channel_count);
    if (!module.channel_panning) return false;
    if (header.has_fm_channels) {
        module.channel_fm = allocate<std::uint8_t>(module.channel_count);
        if (!module.channel_fm) return false;
    }
    const bool stereo = (data.byte(51) & stereo_flag) != 0;
    const bool pan_table = data.byte(53) == pan_table_present;
    const std::size_t pans =
        header.pattern_pointers + 2 * static_cast<std::size_t>(header.pattern_count);
    for (std::int32_t slot = 0; slot < s3m_channel_slots; ++slot) {
        const std::int32_t channel = header.channel_map[slot];
        if (channel < 0) continue;
        std::int32_t pan = data.byte(64 + slot) < 8 ? 3 * 17 : 12 * 17;
        if (pan_table && (data.byte(pans + slot) & 0x20) != 0)
            pan = (data.byte(pans + slot) & 15) * 17;
        const std::uint8_t setting = data.byte(64 + slot);
        if (setting >= first_fm_setting) {
            module.channel_fm[channel] = static_cast<std::uint8_t>(setting - first_fm_setting + 1);
            pan = 128;
        }
        module.channel_panning[channel] = static_cast<std::uint8_t>(stereo ? pan : 128);
    }
    return true;
}

// True when some entry before the first end marker names a pattern: an
// order list without one has nothing to play.
bool plays_a_pattern(const LoadData& data, const S3mHeader& header) {
    const std::int32_t patterns = std::min(header.pattern_count, most_patterns);
    for (std::int32_t i = 0; i < std::min(header.order_count, order_list_size); ++i) {
        const std::uint8_t entry = data.byte(header_order_offset + i);
        if (entry == end_of_song) return false;
        if (entry < patterns) return true;
    }
    return false;
}

// Scream Tracker's own files carry a version 0x1xxx.
bool by_scream_tracker(const LoadData& data) {
    return (data.little_word(40) & 0xF000) == 0x1000;
}

// Scream Tracker keeps the Gravis UltraSound's memory address of each sample
// in its header; a song saved for the Sound Blaster has 0 or 1 there.
bool saved_for_gus(const LoadData& data, const S3mHeader& header) {
    for (std::int32_t n = 0; n < std::min(header.instrument_count, most_instruments); ++n) {
        const std::size_t at = paragraph(data, header.instrument_pointers + 2 * n);
        if (at != 0 && data.byte(at) == sample_instrument && data.little_word(at + 40) > 1)
            return true;
    }
    return false;
}

// The Sound Blaster's mix is scaled by the master volume (low seven bits, at
// least 16; 64 plays samples as loud as the other formats), the
// UltraSound's is not: it plays as at 48. The FM chip's level is its own.
void set_mix_gain(Module& module, const LoadData& data, const S3mHeader& header) {
    const bool gus = by_scream_tracker(data) && saved_for_gus(data, header);
    const std::int32_t master = gus ? 48 : std::max(data.byte(51) & 0x7F, 16);
    module.mix_gain = mix_gain_for_channels(module.channel_count) * master / 64;
}

S3mHeader read_header(const LoadData& data) {
    S3mHeader header{};
    header.order_count = data.little_word(32);
    header.instrument_count = data.little_word(34);
    header.pattern_count = data.little_word(36);
    header.signed_samples = data.little_word(42) == 1;
    header.instrument_pointers = header_order_offset + static_cast<std::size_t>(header.order_count);
    header.pattern_pointers =
        header.instrument_pointers + 2 * static_cast<std::size_t>(header.instrument_count);
    std::int8_t next = 0;
    for (std::int32_t slot = 0; slot < s3m_channel_slots; ++slot) {
        const std::uint8_t setting = data.byte(64 + slot);
        const bool fm_channel = setting >= first_fm_setting && setting <= last_fm_setting;
        const bool played = setting < first_fm_setting || fm_channel;
        header.channel_map[slot] = played ? next : std::int8_t{-1};
        if (played) ++next;
        if (fm_channel) header.has_fm_channels = true;
    }
    return header;
}

void set_header_values(Module& module, const LoadData& data) {
    convert_name(module.title, data, 0, 28);
    module.initial_global_volume = std::min<std::int32_t>(data.byte(48), 64);
    const std::int32_t speed = data.byte(49);
    module.initial_speed = speed == 0 || speed == 255 ? 6 : speed;
    // Tempos below 33 are not tempos in Scream Tracker.
    module.initial_tempo = data.byte(50) < 33 ? 125 : data.byte(50);
    module.reference_rate = s3m_reference_rate;
    module.volume_slide_on_first_tick = (data.little_word(38) & fast_volume_slides) != 0 ||
                                        data.little_word(40) == fast_slides_version;
    module.rules = scream_tracker_rules;
    module.rules.amiga_limits_fixed = (data.little_word(38) & amiga_limits) != 0;
    // Some of Scream Tracker's ways only its own files get: other trackers
    // that write S3M play them otherwise.
    module.rules.period_ceiling = by_scream_tracker(data);
    module.rules.combined_slides_skip_first_tick = by_scream_tracker(data);
}

} // namespace

bool s3m_signature(const std::uint8_t* data, std::size_t length) {
    return has_signature(LoadData{data, length}, 44, "SCRM");
}

Module* s3m_load(const std::uint8_t* data, std::size_t length, char load_message[load_message_size],
                 std::uint64_t& announced_end) {
    const LoadData s3m{data, length};
    const S3mHeader header = read_header(s3m);
    const std::int32_t channels =
        *std::max_element(header.channel_map, header.channel_map + s3m_channel_slots) + 1;
    announced_end = header.pattern_pointers + 2 * static_cast<std::size_t>(header.pattern_count) +
                    (s3m.byte(53) == pan_table_present ? s3m_channel_slots : 0);
    if (channels == 0) {
        set_message(load_message, "S3M file has no sample or AdLib channels");
        return nullptr;
    }
    if (!plays_a_pattern(s3m, header)) {
        set_message(load_message, "S3M order list plays no pattern");
        return nullptr;
    }
    Module* module = static_cast<Module*>(mem_alloc(sizeof(Module)));
    if (!module) return nullptr;
    module->channel_count = channels;
    set_header_values(*module, s3m);
    set_mix_gain(*module, s3m, header);
    if (!load_panning(*module, s3m, header) ||
        !load_order_list(*module, s3m, header_order_offset, header.order_count) ||
        !load_patterns(*module, s3m, header, announced_end) ||
        !load_instruments(*module, s3m, header, announced_end)) {
        module_dispose(module);
        return nullptr;
    }
    return module;
}
