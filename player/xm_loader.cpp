// The XM loader. The replay's note, volume-column and effect numbering was
// made for XM, so notes pass through almost as stored; the work here is in
// finding every part of the file (each part's size comes from the part
// before it), in making envelopes that the replay can always evaluate, and in
// turning delta-coded samples with any loop into the mixer's forward loops.
#include "player/xm_loader.h"
#include "player/effect_codes.h"
#include "player/load_data.h"
#include "player/sample_prep.h"
#include <algorithm>

namespace {

constexpr std::int32_t xm_version = 0x0104;
constexpr std::int32_t most_channels = 32;
constexpr std::int32_t most_patterns = 256;
constexpr std::int32_t most_instruments = 128;
constexpr std::int32_t most_samples = 16;
constexpr std::int32_t most_rows = 256;
// What FastTracker 2 plays for a pattern without data, or one the order list
// names but the file does not hold.
constexpr std::int32_t empty_pattern_rows = 64;
constexpr std::int32_t envelope_points = 12;
constexpr std::int32_t highest_envelope_tick = 32767; // the data model's ticks are 16-bit
constexpr std::int32_t pattern_header_bytes = 9;
constexpr std::int32_t sample_header_bytes = 40;
// An instrument header up to its sample count, and up to its fade-out.
constexpr std::uint32_t instrument_header_bytes = 29;
constexpr std::uint32_t instrument_header_with_samples = 241;
constexpr std::uint8_t xm_key_off = 97;
// X, the extra-fine slides, is XM's last effect.
constexpr std::uint8_t last_effect = effect::extra_fine_slide;
// Key 49 (C-4) with no relative note or fine tune plays at this rate, in
// both frequency tables.
constexpr std::int32_t xm_reference_rate = 8363;
constexpr std::uint8_t centre_panning = 128;
constexpr std::int32_t default_speed = 6, most_speed = 31;
constexpr std::int32_t default_tempo = 125, least_tempo = 32, most_tempo = 255;

struct XmHeader {
    std::int32_t version, song_length, restart, channels, patterns, instruments, flags, speed,
        tempo;
    std::uint64_t first_pattern;
};

XmHeader read_header(const LoadData& data) {
    XmHeader header{};
    header.version = data.little_word(58);
    header.first_pattern = 60 + static_cast<std::uint64_t>(data.little_dword(60));
    header.song_length = data.little_word(64);
    header.restart = data.little_word(66);
    header.channels = data.little_word(68);
    header.patterns = data.little_word(70);
    header.instruments = data.little_word(72);
    header.flags = data.little_word(74);
    header.speed = data.little_word(76);
    header.tempo = data.little_word(78);
    return header;
}

const char* refusal(const XmHeader& header) {
    if (header.version != xm_version) return "XM format version must be 0x0104!";
    if (header.channels < 1 || header.channels > most_channels) {
        return "XM channel count must be 1..32!";
    }
    if (header.patterns > most_patterns) return "XM pattern count must be at most 256!";
    if (header.instruments > most_instruments) return "XM instrument count must be at most 128!";
    return nullptr;
}

// Key-off becomes the replay's; note numbers no tracker writes, and effect
// numbers beyond XM's last one, are dropped rather than read as S3M codes.
void check_note(std::uint8_t* note) {
    if (note[0] == xm_key_off)
        note[0] = key_note_off;
    else if (note[0] > xm_key_off)
        note[0] = 0;
    if (note[3] > last_effect) note[3] = note[4] = 0;
}

// One packed note: a first byte with the top bit set says which of the five
// fields follow; otherwise it is the key and all four others follow.
std::size_t unpack_note(std::uint8_t* note, const LoadData& packed, std::size_t at) {
    std::uint8_t fields = packed.byte(at++);
    if ((fields & 0x80) == 0) {
        note[0] = fields;
        fields = 0x1E;
    }
    for (int field = 0; field < note_size; ++field) {
        if (fields & (1 << field)) note[field] = packed.byte(at++);
    }
    check_note(note);
    return at;
}

// A pattern with no packed data has no notes: every channel gets the empty
// note, and nothing is allocated for it.
bool load_pattern(Pattern& pattern, const LoadData& data, std::uint64_t& offset,
                  std::int32_t channels) {
    const LoadData header = part(data, offset, pattern_header_bytes);
    const std::int32_t rows = header.little_word(5);
    const std::int32_t packed_bytes = header.little_word(7);
    pattern.row_count = rows == 0 ? empty_pattern_rows : std::min(rows, most_rows);
    offset += std::max<std::uint32_t>(header.little_dword(0), pattern_header_bytes);
    const LoadData packed = part(data, offset, static_cast<std::uint64_t>(packed_bytes));
    offset += static_cast<std::uint64_t>(packed_bytes);
    if (packed.length == 0) return true;
    pattern.channel_count = channels;
    const std::int32_t notes = pattern.row_count * channels;
    pattern.notes = allocate<std::uint8_t>(notes * note_size);
    if (!pattern.notes) return false;
    std::size_t at = 0;
    for (std::int32_t n = 0; n < notes && at < packed.length; ++n) {
        at = unpack_note(pattern.notes + n * note_size, packed, at);
    }
    return true;
}

bool load_patterns(Module& module, const LoadData& data, const XmHeader& header,
                   std::uint64_t& offset) {
    module.patterns = allocate<Pattern>(module.pattern_count);
    if (!module.patterns) return false;
    for (std::int32_t p = 0; p < module.pattern_count; ++p) {
        if (p >= header.patterns) {
            module.patterns[p].row_count = empty_pattern_rows;
        } else if (!load_pattern(module.patterns[p], data, offset, header.channels)) {
            return false;
        }
    }
    return true;
}

// Points at rising ticks from tick 0, so that the replay's interpolation
// never divides by zero or reads before the first point; a sustain or loop
// point outside them is not used.
void read_envelope(Envelope& envelope, const LoadData& instrument, int which) {
    const std::size_t points = 129 + 48 * static_cast<std::size_t>(which);
    const std::int32_t stored =
        std::min<std::int32_t>(instrument.byte(225 + which), envelope_points);
    std::int32_t used = 0;
    for (; used < stored; ++used) {
        const std::int32_t tick = used == 0 ? 0 : instrument.little_word(points + 4 * used);
        if (used > 0 && (tick <= envelope.point_ticks[used - 1] || tick > highest_envelope_tick)) {
            break;
        }
        envelope.point_ticks[used] = static_cast<std::int16_t>(tick);
        envelope.point_values[used] =
            static_cast<std::int16_t>(std::min(instrument.little_word(points + 4 * used + 2), 64));
    }
    envelope.point_count = static_cast<std::int8_t>(used);
    const std::uint8_t type = instrument.byte(233 + which);
    const std::size_t marks = 227 + 3 * static_cast<std::size_t>(which);
    const std::int32_t sustain = instrument.byte(marks);
    const std::int32_t loop_from = instrument.byte(marks + 1);
    const std::int32_t loop_to = instrument.byte(marks + 2);
    envelope.active = (type & 1) != 0 && used > 0;
    envelope.has_sustain = (type & 2) != 0 && sustain < used;
    if (envelope.has_sustain) envelope.sustain_at = envelope.point_ticks[sustain];
    envelope.has_loop = (type & 4) != 0 && loop_from <= loop_to && loop_to < used;
    if (envelope.has_loop) {
        envelope.loop_from = envelope.point_ticks[loop_from];
        envelope.loop_to = envelope.point_ticks[loop_to];
    }
}

// The 40-byte sample header; its data starts at `data_offset`.
bool load_sample(Sample& sample, const LoadData& header, const LoadData& data,
                 std::uint64_t data_offset) {
    const std::uint8_t type = header.byte(14);
    const std::uint32_t width = (type & 0x10) != 0 ? 2 : 1;
    convert_name(sample.name, header, 18, 22);
    sample.volume = static_cast<std::int16_t>(std::min<std::int32_t>(header.byte(12), 64));
    sample.fine_tune = static_cast<std::int8_t>(header.byte(13));
    sample.panning = static_cast<std::int16_t>(header.byte(15) + 1);
    sample.relative_note = static_cast<std::int8_t>(header.byte(16));

    const LoadData stored = part(data, data_offset, header.little_dword(0));
    SampleSource source{stored.bytes, stored.length};
    source.frames = header.little_dword(0) / width;
    source.bytes_per_value = static_cast<std::int32_t>(width);
    source.delta = true;
    if ((type & 3) != 0) {
        source.loop_start = header.little_dword(4) / width;
        source.loop_length = header.little_dword(8) / width;
        source.ping_pong = (type & 3) == 2;
    }
    return prepare_sample(sample, source);
}

enum class Step { done, out_of_memory, refused };

// An instrument: its header, then its sample headers, then their data.
// `offset` moves past all of it.
Step load_instrument(Instrument& instrument, const LoadData& data, std::uint64_t& offset) {
    // A header is at least as long as the fields read from it, whatever its
    // size field says: the sample count, and with samples the fade-out.
    const std::uint32_t stated_size =
        data.little_dword(static_cast<std::size_t>(std::min<std::uint64_t>(offset, data.length)));
    const std::int32_t declared =
        part(data, offset, std::max(stated_size, instrument_header_bytes)).little_word(27);
    const std::uint32_t header_size = std::max(
        stated_size, declared > 0 ? instrument_header_with_samples : instrument_header_bytes);
    const LoadData header = part(data, offset, header_size);
    convert_name(instrument.name, header, 4, 22);
    if (declared > most_samples) return Step::refused;
    const std::uint32_t sample_header_size =
        header.little_dword(29) != 0 ? header.little_dword(29) : sample_header_bytes;

    // Keys mapped to a sample the instrument lacks stay silent: they get an
    // empty sample of their own behind the real ones.
    bool maps_missing = false;
    for (std::int32_t key = 1; key <= 96 && declared > 0; ++key) {
        const std::int32_t index = header.byte(32 + static_cast<std::size_t>(key));
        maps_missing = maps_missing || index >= declared;
        instrument.key_samples[key] = static_cast<std::int8_t>(std::min(index, declared));
    }
    instrument.sample_count = declared + (maps_missing || declared == 0 ? 1 : 0);
    if (declared > 0) {
        read_envelope(instrument.volume_envelope, header, 0);
        read_envelope(instrument.panning_envelope, header, 1);
        const std::uint8_t vibrato_type = header.byte(235);
        instrument.vibrato_type = static_cast<std::int8_t>(vibrato_type <= 3 ? vibrato_type : 0);
        instrument.vibrato_sweep = header.byte(236);
        instrument.vibrato_depth = header.byte(237);
        instrument.vibrato_rate = header.byte(238);
        instrument.fadeout = header.little_word(239);
    }
    instrument.samples = allocate<Sample>(instrument.sample_count);
    if (!instrument.samples) return Step::out_of_memory;

    std::uint64_t headers = offset + header_size;
    std::uint64_t sample_data = headers + static_cast<std::uint64_t>(declared) * sample_header_size;
    for (std::int32_t s = 0; s < instrument.sample_count; ++s) {
        const LoadData sample_header =
            s < declared ? part(data, headers, sample_header_bytes) : LoadData{nullptr, 0};
        if (!load_sample(instrument.samples[s], sample_header, data, sample_data)) {
            return Step::out_of_memory;
        }
        headers += sample_header_size;
        sample_data += sample_header.little_dword(0);
    }
    offset = sample_data;
    return Step::done;
}

Step load_instruments(Module& module, const LoadData& data, std::uint64_t& offset) {
    module.instruments = allocate<Instrument>(module.instrument_count + 1);
    if (!module.instruments) return Step::out_of_memory;
    if (!add_empty_instrument(module)) return Step::out_of_memory;
    for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
        const Step step = load_instrument(module.instruments[n], data, offset);
        if (step != Step::done) return step;
    }
    return Step::done;
}

// Fills the header values and the order list. An order-list entry past the
// stored patterns names an empty one, as in FastTracker 2.
bool load_song(Module& module, const LoadData& data, const XmHeader& header) {
    convert_name(module.title, data, 17, 20);
    // The header's order table has 256 entries.
    module.song_length = std::clamp(header.song_length, 1, order_list_size);
    module.restart_position = header.restart; // the replay ignores one past the song
    module.channel_count = header.channels;
    module.instrument_count = header.instruments;
    module.initial_global_volume = 64;
    module.initial_speed = header.speed == 0 ? default_speed : std::min(header.speed, most_speed);
    // A tick slower than tempo 32 would not fit the mixer's buffer.
    module.initial_tempo =
        header.tempo == 0 ? default_tempo : std::clamp(header.tempo, least_tempo, most_tempo);
    module.reference_rate = xm_reference_rate;
    // FastTracker 2 mixes a quarter below full scale: at 48 for up to four
    // channels, as the yardsticks' renders of XMs also measure.
    module.mix_gain = mix_gain_for_channels(header.channels) * 3 / 4;
    module.linear_pitch = header.flags & 1;
    module.rules = fasttracker_rules;

    module.order_list = allocate<std::uint8_t>(order_list_size);
    if (!module.order_list) return false;
    std::int32_t patterns = header.patterns;
    for (std::int32_t i = 0; i < order_list_size; ++i) {
        module.order_list[i] = data.byte(80 + static_cast<std::size_t>(i));
        if (i < module.song_length)
            patterns = std::max<std::int32_t>(patterns, module.order_list[i] + 1);
    }
    module.pattern_count = patterns;
    // FastTracker 2 starts every channel in the centre; samples pan them.
    module.channel_panning = allocate<std::uint8_t>(module.channel_count);
    if (!module.channel_panning) return false;
    std::fill_n(module.channel_panning, module.channel_count, centre_panning);
    return true;
}

} // namespace

Module* xm_load(const std::uint8_t* bytes, std::size_t length, char load_message[load_message_size],
                std::uint64_t& announced) {
    const LoadData data{bytes, length};
    const XmHeader header = read_header(data);
    const char* reason =
        has_signature(data, 0, "Extended Module:") ? refusal(header) : "Not an XM file!";
    if (reason) {
        set_message(load_message, reason);
        return nullptr;
    }
    Module* module = allocate<Module>(1);
    if (!module) return nullptr;
    std::uint64_t offset = header.first_pattern;
    Step step = Step::out_of_memory;
    if (load_song(*module, data, header) && load_patterns(*module, data, header, offset)) {
        step = load_instruments(*module, data, offset);
    }
    announced = offset;
    if (step == Step::done) return module;
    if (step == Step::refused) set_message(load_message, "XM instrument has more than 16 samples!");
    module_dispose(module);
    return nullptr;
}
