// The MOD loader. module_load, the show's path, recognises XM and S3M by
// their signatures and refuses them, and reads everything else as a
// four-channel MOD. mod_load reads the other MOD layouts (channel counts,
// 15-sample files) for the format-picking entry. Periods become keys, effect
// codes are normalised, 8-bit samples become 16-bit and loops are repaired
// here, so the replay and the mixer never need to check them.
#include "player/mod_loader.h"
#include "player/effect_codes.h"
#include "player/fixed_point.h"
#include "player/load_data.h"
#include "player/module.h"
#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t mod_row_count = 64;
constexpr std::size_t cell_bytes = 4;
// A stored four-channel pattern; FLT8 keeps its eight channels as two of them.
constexpr std::size_t half_pattern_bytes = 1024;
constexpr ModLayout show_layout{4, 31, false, false};
// A MOD's order list: 128 entries, all read, whatever the song length.
constexpr std::int32_t mod_orders = 128;

// Where the parts of a layout lie: the song length byte follows the sample
// headers, the order list follows it and one unused byte, and 31-sample files
// carry their 4-byte signature between the order list and the patterns.
std::size_t song_length_offset(const ModLayout& layout) {
    return 20 + 30 * static_cast<std::size_t>(layout.instrument_count);
}
std::size_t order_list_offset(const ModLayout& layout) {
    return song_length_offset(layout) + 2;
}
std::size_t first_pattern_offset(const ModLayout& layout) {
    return order_list_offset(layout) + mod_orders + (layout.instrument_count == 31 ? 4 : 0);
}
std::size_t pattern_bytes(const ModLayout& layout) {
    return mod_row_count * static_cast<std::size_t>(layout.channel_count) * cell_bytes;
}

// The usual Amiga arrangement, repeated every four channels: the outer two of
// each group left of centre, the inner two right of it.
std::uint8_t channel_pan(std::int32_t channel) {
    const std::int32_t in_group = channel & 3;
    return in_group == 0 || in_group == 3 ? 51 : 204;
}

std::size_t sample_data_offset(const ModLayout& layout, std::int32_t pattern_count) {
    return first_pattern_offset(layout) +
           pattern_bytes(layout) * static_cast<std::size_t>(pattern_count);
}

// Slides without an amount become "no effect", the combined slides with no
// amount keep only their tone-portamento or vibrato part, and panning is dropped.
void normalise_effect(std::uint8_t& effect, std::uint8_t& param, const ModLayout& layout) {
    if (param == 0 && (effect == 0x1 || effect == 0x2 || effect == 0xA)) effect = 0;
    if (param == 0 && (effect == 0x5 || effect == 0x6)) effect -= 2;
    // The show's song pans nothing; the trackers' MODs pan with 8xx.
    if (effect == 0x8 && !layout.pans) effect = param = 0;
}

// Offset of a cell of pattern p. FLT8 stores channels 0..3 of each pattern
// in one four-channel pattern and channels 4..7 in the next.
std::size_t cell_offset(const ModLayout& layout, std::int32_t p, std::int32_t row,
                        std::int32_t channel) {
    const std::size_t pattern = first_pattern_offset(layout) + pattern_bytes(layout) * p;
    if (!layout.paired_patterns) {
        return pattern +
               (static_cast<std::size_t>(row) * layout.channel_count + channel) * cell_bytes;
    }
    return pattern + half_pattern_bytes * static_cast<std::size_t>(channel / 4) +
           (static_cast<std::size_t>(row) * 4 + channel % 4) * cell_bytes;
}

void decode_pattern(std::uint8_t* notes, const LoadData& data, const ModLayout& layout,
                    std::int32_t p) {
    for (std::int32_t cell = 0; cell < mod_row_count * layout.channel_count; ++cell) {
        const std::size_t at =
            cell_offset(layout, p, cell / layout.channel_count, cell % layout.channel_count);
        const std::uint8_t b0 = data.byte(at), b1 = data.byte(at + 1);
        const std::uint8_t b2 = data.byte(at + 2), b3 = data.byte(at + 3);
        std::uint8_t* note = notes + cell * note_size;
        note[0] = period_to_key((b0 & 0x0F) << 8 | b1);
        note[1] = static_cast<std::uint8_t>((b0 & 0x10) | (b2 >> 4));
        note[2] = 0;
        note[3] = b2 & 0x0F;
        note[4] = b3;
        normalise_effect(note[3], note[4], layout);
    }
}

bool load_patterns(Module& module, const LoadData& data, const ModLayout& layout) {
    module.patterns = allocate<Pattern>(module.pattern_count);
    if (!module.patterns) return false;
    for (std::int32_t p = 0; p < module.pattern_count; ++p) {
        Pattern& pattern = module.patterns[p];
        pattern.channel_count = layout.channel_count;
        pattern.row_count = mod_row_count;
        pattern.notes = allocate<std::uint8_t>(mod_row_count * layout.channel_count * note_size);
        if (!pattern.notes) return false;
        decode_pattern(pattern.notes, data, layout, p);
    }
    return true;
}

// Loop points as trackers wrote them are often off: some give the start in
// frames rather than words, some run past the end. Whatever is left shorter
// than 4 frames plays the sample once.
void repair_loop(Sample& sample, std::int32_t length, std::int32_t start_word,
                 std::int32_t loop_frames) {
    sample.loop_start = start_word * 2;
    sample.loop_length = loop_frames;
    if (sample.loop_start + sample.loop_length > length) {
        if (start_word + loop_frames > length) {
            sample.loop_length = length - sample.loop_start;
        } else {
            sample.loop_start = start_word;
        }
    }
    if (sample.loop_length < 4) {
        sample.loop_start = length;
        sample.loop_length = 0;
    }
}

// Reads sample header n (1..31) and its data at `data_offset`; false only
// when an allocation fails.
bool load_instrument(Instrument& instrument, const LoadData& data, std::int32_t n,
                     std::size_t data_offset) {
    instrument.sample_count = 1;
    instrument.samples = allocate<Sample>(1);
    if (!instrument.samples) return false;
    Sample& sample = instrument.samples[0];
    const std::size_t header = 20 + 30 * static_cast<std::size_t>(n - 1);
    convert_name(instrument.name, data, header, 22);
    const std::int32_t length = data.big_word(header + 22) * 2;
    const std::int32_t fine_nibble = data.byte(header + 24) & 0x0F;
    sample.fine_tune =
        static_cast<std::int16_t>((fine_nibble >= 8 ? fine_nibble - 16 : fine_nibble) * 16);
    const std::int32_t volume = data.byte(header + 25) & 0x7F;
    sample.volume = static_cast<std::int16_t>(volume > 64 ? 64 : volume);
    repair_loop(sample, length, data.big_word(header + 26), data.big_word(header + 28) * 2);

    sample.data = allocate<std::int16_t>(length + 1);
    if (!sample.data) return false;
    const std::size_t start = data_offset < data.length ? data_offset : data.length;
    const std::size_t available = data.length - start;
    const std::size_t present =
        available < static_cast<std::size_t>(length) ? available : static_cast<std::size_t>(length);
    for (std::size_t i = 0; i < present; ++i) {
        const std::int32_t value = static_cast<std::int8_t>(data.bytes[start + i]);
        sample.data[i] = static_cast<std::int16_t>(value * 256);
    }
    // Interpolation reads one frame past the loop end without a test.
    sample.data[sample.loop_start + sample.loop_length] = sample.data[sample.loop_start];
    return true;
}

bool load_instruments(Module& module, const LoadData& data, const ModLayout& layout) {
    module.instrument_count = layout.instrument_count;
    module.instruments = allocate<Instrument>(layout.instrument_count + 1);
    if (!module.instruments) return false;
    if (!add_empty_instrument(module)) return false;

    std::size_t data_offset = sample_data_offset(layout, module.pattern_count);
    for (std::int32_t n = 1; n <= layout.instrument_count; ++n) {
        if (!load_instrument(module.instruments[n], data, n, data_offset)) return false;
        // Advance by the full length, whether or not the data was present.
        data_offset += static_cast<std::size_t>(data.big_word(20 + 30 * (n - 1) + 22)) * 2;
    }
    return true;
}

// FLT8 order entries count four-channel halves, so they come doubled; files
// whose entries are not all even were written otherwise and are kept.
bool orders_are_doubled(const LoadData& data, const ModLayout& layout) {
    if (!layout.paired_patterns) return false;
    for (std::int32_t i = 0; i < mod_orders; ++i) {
        if ((data.byte(order_list_offset(layout) + i) & 1) != 0) return false;
    }
    return true;
}

// Reads the whole order list (entries past the song length count too) and
// returns its highest entry.
std::int32_t read_order_list(std::uint8_t* orders, const LoadData& data, const ModLayout& layout) {
    std::int32_t highest = 0;
    const int order_shift = orders_are_doubled(data, layout) ? 1 : 0;
    for (std::int32_t i = 0; i < mod_orders; ++i) {
        orders[i] = static_cast<std::uint8_t>((data.byte(order_list_offset(layout) + i) & 0x7F) >>
                                              order_shift);
        if (orders[i] > highest) highest = orders[i];
    }
    return highest;
}

bool load_mod(Module& module, const LoadData& data, const ModLayout& layout) {
    convert_name(module.title, data, 0, 20);
    // The order list has 128 entries; a longer song would read past it, and an
    // empty one has no entry to play, so the length is kept within 1..128.
    const std::int32_t length_byte = data.byte(song_length_offset(layout));
    module.song_length = length_byte < 1 ? 1 : length_byte > mod_orders ? mod_orders : length_byte;

    module.order_list = allocate<std::uint8_t>(order_list_size);
    if (!module.order_list) return false;
    module.pattern_count = read_order_list(module.order_list, data, layout) + 1;

    module.channel_count = layout.channel_count;
    module.reference_rate = 8287;
    module.mix_gain = mix_gain_for_channels(layout.channel_count);
    module.initial_global_volume = 64;
    module.initial_speed = 6;
    module.initial_tempo = 125;
    module.channel_panning = allocate<std::uint8_t>(layout.channel_count);
    if (!module.channel_panning) return false;
    for (std::int32_t c = 0; c < layout.channel_count; ++c)
        module.channel_panning[c] = channel_pan(c);

    return load_patterns(module, data, layout) && load_instruments(module, data, layout);
}

constexpr std::int32_t most_channels = 32;

bool is_digit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

// The channel count that a 31-sample MOD's signature announces, 0 for none.
std::int32_t signature_channels(const std::uint8_t* s, bool& paired) {
    paired = false;
    const auto is = [s](const char* text) { return std::memcmp(s, text, 4) == 0; };
    if (is("M.K.") || is("M!K!") || is("FLT4") || is("4CHN")) return 4;
    if (is("FLT8")) return paired = true, 8;
    if (is("OCTA") || is("CD81")) return 8;
    if (is_digit(s[0]) && s[0] != '0' && std::memcmp(s + 1, "CHN", 3) == 0) return s[0] - '0';
    if (std::memcmp(s, "TDZ", 3) == 0 && is_digit(s[3]) && s[3] != '0') return s[3] - '0';
    if (is_digit(s[0]) && is_digit(s[1]) && s[2] == 'C' && s[3] == 'H') {
        const std::int32_t count = (s[0] - '0') * 10 + (s[1] - '0');
        return count <= most_channels ? count : 0;
    }
    return 0;
}

// Text, empty files and other binary data fail some of the checks of
// mod_looks_like_15_samples at once.
bool plausible_15_samples(const LoadData& data) {
    constexpr std::size_t order_offset = 472, pattern_offset = 600;
    if (data.length < pattern_offset) return false;
    const std::int32_t song_length = data.byte(470);
    if (song_length < 1 || song_length > 128) return false;
    std::int32_t highest = 0;
    for (std::size_t i = 0; i < 128; ++i) {
        const std::int32_t entry = data.byte(order_offset + i);
        if (entry >= 128) return false;
        if (entry > highest) highest = entry;
    }
    for (std::size_t n = 0; n < 15; ++n) {
        const std::size_t header = 20 + 30 * n;
        if (data.byte(header + 24) > 15 || data.byte(header + 25) > 64) return false;
    }
    return data.length >= pattern_offset + 1024 * static_cast<std::size_t>(highest + 1);
}

// Some trackers pan with 8xx from 0 to 0x80 only: where no 8xx goes
// beyond 0x80, the range is taken to be that one.
void halve_panning_range(Module& module) {
    std::int32_t most = 0;
    const auto each_panning = [&module](auto visit) {
        for (std::int32_t p = 0; p < module.pattern_count; ++p) {
            const Pattern& pattern = module.patterns[p];
            for (std::int32_t n = 0; n < pattern.row_count * pattern.channel_count; ++n) {
                std::uint8_t* note = pattern.notes + n * note_size;
                if (note[3] == effect::set_panning) visit(note[4]);
            }
        }
    };
    each_panning([&most](std::uint8_t& param) { most = std::max<std::int32_t>(most, param); });
    if (most == 0 || most > 0x80) return;
    each_panning(
        [](std::uint8_t& param) { param = static_cast<std::uint8_t>(std::min(param * 2, 255)); });
}

} // namespace

std::uint8_t period_to_key(std::int32_t period) {
    if (period < 28 || period > 1712) return 0;
    const std::uint32_t a = static_cast<std::uint32_t>(period) * 131072u / 29021u;
    const std::int32_t log = fixed_log2(static_cast<std::int32_t>(a));
    return static_cast<std::uint8_t>((16384 - 12 * log) >> 15);
}

Module* module_load(const std::uint8_t* data, std::size_t length,
                    char load_message[load_message_size]) {
    const LoadData mod_data{data, length};
    // A build that plays only the show's own song never meets another
    // tracker's file here.
    const bool is_xm = plays_other_trackers && has_signature(mod_data, 0, "Extended Module:");
    Module* module = static_cast<Module*>(mem_alloc(sizeof(Module)));
    if (!module) return nullptr;
    if (is_xm) {
        set_message(load_message, "XM format version must be 0x0104!");
        module_dispose(module);
        return nullptr;
    }
    if (plays_other_trackers && has_signature(mod_data, 44, "SCRM")) {
        set_message(load_message, "Not an S3M file!");
        module_dispose(module);
        return nullptr;
    }
    if (!load_mod(*module, mod_data, show_layout)) {
        module_dispose(module);
        return nullptr;
    }
    return module;
}

Module* mod_load(const std::uint8_t* data, std::size_t length, const ModLayout& layout) {
    Module* module = static_cast<Module*>(mem_alloc(sizeof(Module)));
    if (!module) return nullptr;
    if (!load_mod(*module, LoadData{data, length}, layout)) {
        module_dispose(module);
        return nullptr;
    }
    halve_panning_range(*module);
    // Four channels are ProTracker's; the PC trackers that write more play
    // them as FastTracker 2 does.
    module->rules = layout.channel_count == 4 ? protracker_rules : fasttracker_rules;
    // A MOD's channels keep their linear panning whoever wrote it, and its
    // notes are the Amiga's.
    module->rules.square_root_panning = false;
    module->rules.protracker_period_table = true;
    // A quarter of each channel reaches the other side, as PC players mix
    // the Amiga's hard left and right for headphones.
    for (std::int32_t c = 0; c < layout.channel_count; ++c)
        module->channel_panning[c] = channel_pan(c) < 128 ? 64 : 192;
    return module;
}

std::uint64_t mod_announced_bytes(const std::uint8_t* data, std::size_t length,
                                  const ModLayout& layout) {
    const LoadData mod_data{data, length};
    std::uint8_t orders[order_list_size];
    std::uint64_t end = sample_data_offset(layout, read_order_list(orders, mod_data, layout) + 1);
    for (std::int32_t n = 1; n <= layout.instrument_count; ++n) {
        end += static_cast<std::uint64_t>(mod_data.big_word(20 + 30 * (n - 1) + 22)) * 2;
    }
    return end;
}

bool mod_signature_layout(const std::uint8_t* data, std::size_t length, ModLayout& layout) {
    if (length < mod_signature_offset + 4) return false;
    bool paired = false;
    const std::int32_t channels = signature_channels(data + mod_signature_offset, paired);
    layout = ModLayout{channels, 31, paired};
    return channels > 0;
}

bool mod_looks_like_15_samples(const std::uint8_t* data, std::size_t length) {
    return plausible_15_samples(LoadData{data, length});
}
