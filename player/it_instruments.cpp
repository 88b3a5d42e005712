// IT samples carry their own volume, panning and middle-C rate; IT
// instruments name a sample per note. The data model keeps samples inside
// their instrument, so an instrument gets the samples its key table names,
// and instruments that name the same sample share its frames.
#include "player/it_instruments.h"
#include "base/alloc.h"
#include "player/it_samples.h"
#include "player/sample_prep.h"
#include <algorithm>

namespace {

constexpr std::uint8_t has_data = 1, sixteen_bit = 2, stereo = 4, packed = 8, loops = 16,
                       sustain_loops = 32, ping_pong = 64, sustain_ping_pong = 128;
constexpr std::uint8_t signed_values = 1, delta_values = 4;
constexpr std::uint8_t use_default_pan = 128;
constexpr std::int32_t it_full_pan = 64;
constexpr std::int32_t it_envelope_nodes = 25;
static_assert(it_envelope_nodes <= envelope_point_limit);
constexpr std::uint8_t filter_envelope = 128, envelope_carry = 8;
constexpr std::int16_t full_sample_global_volume = 64, full_instrument_global_volume = 128;
// An IT key table entry per note C-0..B-9.
constexpr std::size_t key_table = 0x40;
// Fade-out counts from 1024 (512 in old instruments) where the replay's
// fade level counts from 32768.
constexpr std::int32_t fade_scale = 32, old_fade_scale = 64;

// A choice byte of the instrument header; values past the named ones read
// as the first (cut, none).
std::uint8_t choice(const LoadData& header, std::size_t at, std::uint8_t highest) {
    const std::uint8_t value = header.byte(at);
    return value <= highest ? value : 0;
}

std::int16_t it_panning(std::int32_t pan) {
    return static_cast<std::int16_t>(pan * 4);
}

// The stored frames: plain (through prepare_sample directly) or packed,
// unpacked first into a zero-filled buffer of the stored width.
bool load_frames(Sample& sample, SampleSource& source, const LoadData& data, std::uint8_t flags,
                 std::uint8_t convert, std::uint64_t& announced_end) {
    if ((flags & packed) == 0) {
        announced_end = std::max(announced_end, source.offset + stored_bytes(source));
        return prepare_sample(sample, source);
    }
    const LoadData stream = part(data, source.offset, data.length);
    const ItPackedSample packed_sample{
        stream.bytes, stream.length, std::min(source.frames, it_packed_frame_bound(stream.length)),
        (flags & sixteen_bit) != 0, (convert & delta_values) != 0};
    const std::size_t width = static_cast<std::size_t>(source.bytes_per_value);
    std::uint8_t* unpacked =
        static_cast<std::uint8_t*>(mem_alloc(packed_sample.frames * width + 1));
    if (!unpacked) return false;
    std::uint64_t stream_bytes = 0;
    // A damaged stream keeps the frames decoded before it, the rest silent,
    // as a cut plain sample does.
    it_unpack_sample(packed_sample, unpacked, stream_bytes);
    announced_end = std::max(announced_end, source.offset + stream_bytes);
    SampleSource plain = source;
    plain.bytes = unpacked;
    plain.length = packed_sample.frames * width;
    plain.offset = 0;
    plain.frames = packed_sample.frames;
    plain.channels = 1; // the left channel's blocks come first
    plain.is_unsigned = false;
    plain.delta = false;
    const bool prepared = prepare_sample(sample, plain);
    mem_free(unpacked);
    return prepared;
}

// The loop whose bounds are at `bounds` in the sample header, if it has
// frames.
bool set_loop(SampleSource& source, const LoadData& header, std::size_t bounds, bool ping) {
    const std::uint32_t begin = header.little_dword(bounds), end = header.little_dword(bounds + 4);
    if (end <= begin) return false;
    source.loop_start = begin;
    source.loop_length = std::min(end, source.frames) - std::min(begin, source.frames);
    source.ping_pong = ping;
    source.ping_pong_start_once = ping;
    return true;
}

// The sample header at `at` (0: none) and its frames. A sample with a
// sustain loop plays it until the key's release, and then its released
// form: the frames again with the plain loop, if any.
bool load_sample(Sample& sample, const LoadData& data, std::size_t at,
                 std::uint64_t& announced_end) {
    SampleSource source{data.bytes, data.length};
    const LoadData header = part(data, at, at == 0 ? 0 : 0x50);
    const std::uint8_t flags = header.byte(0x12);
    const std::uint8_t convert = header.byte(0x2E);
    convert_name(sample.name, header, 0x14, 26);
    sample.volume = static_cast<std::int16_t>(std::min<std::int32_t>(header.byte(0x13), 64));
    sample.global_volume = std::min<std::int16_t>(header.byte(0x11), full_sample_global_volume);
    const std::uint8_t pan = header.byte(0x2F);
    if ((pan & use_default_pan) != 0)
        sample.panning = static_cast<std::int16_t>(
            it_panning(std::min<std::int32_t>(pan & 127, it_full_pan)) + 1);
    set_middle_c_rate(sample, header.little_dword(0x3C));
    sample.vibrato_speed = std::min<std::uint8_t>(header.byte(0x4C), 64);
    sample.vibrato_depth = std::min<std::uint8_t>(header.byte(0x4D), 64);
    sample.vibrato_rate = header.byte(0x4E);
    sample.vibrato_type = header.byte(0x4F) & 3;
    if ((flags & has_data) == 0) return prepare_sample(sample, source);
    source.offset = header.little_dword(0x48);
    source.frames = header.little_dword(0x30);
    source.bytes_per_value = (flags & sixteen_bit) != 0 ? 2 : 1;
    source.channels = (flags & stereo) != 0 ? 2 : 1;
    source.is_unsigned = (convert & signed_values) == 0;
    source.delta = (convert & delta_values) != 0;
    SampleSource released = source;
    if ((flags & loops) != 0) set_loop(released, header, 0x34, (flags & ping_pong) != 0);
    const bool sustains = (flags & sustain_loops) != 0 &&
                          set_loop(source, header, 0x40, (flags & sustain_ping_pong) != 0);
    if (!sustains) return load_frames(sample, released, data, flags, convert, announced_end);
    sample.released = allocate<Sample>(1);
    if (!sample.released) return false;
    Sample& after = *sample.released;
    after = sample;
    after.released = nullptr;
    return load_frames(sample, source, data, flags, convert, announced_end) &&
           load_frames(after, released, data, flags, convert, announced_end);
}

// Marks and ticks taken from node numbers once the points rise from tick 0;
// loops whose nodes are out of order or past the points are left out.
struct EnvelopeMarks {
    bool on, loop, sustain;
    std::int32_t loop_from, loop_to, sustain_from, sustain_to;
};

void set_marks(Envelope& envelope, const EnvelopeMarks& marks) {
    const std::int32_t used = envelope.point_count;
    envelope.active = marks.on && used > 0;
    envelope.has_loop = marks.loop && marks.loop_from <= marks.loop_to && marks.loop_to < used;
    if (envelope.has_loop) {
        envelope.loop_from = envelope.point_ticks[marks.loop_from];
        envelope.loop_to = envelope.point_ticks[marks.loop_to];
    }
    envelope.has_sustain =
        marks.sustain && marks.sustain_from <= marks.sustain_to && marks.sustain_to < used;
    if (envelope.has_sustain) {
        envelope.sustain_from = envelope.point_ticks[marks.sustain_from];
        envelope.sustain_at = envelope.point_ticks[marks.sustain_to];
    }
}

// Appends a point if its tick rises; false ends the point list.
bool add_point(Envelope& envelope, std::int32_t tick, std::int32_t value) {
    const std::int32_t n = envelope.point_count;
    if (n >= it_envelope_nodes || tick > 32767 || (n == 0 && tick != 0) ||
        (n > 0 && tick <= envelope.point_ticks[n - 1]))
        return false;
    envelope.point_ticks[n] = static_cast<std::int16_t>(tick);
    envelope.point_values[n] = static_cast<std::int16_t>(std::clamp(value, 0, 64));
    envelope.point_count = static_cast<std::int8_t>(n + 1);
    return true;
}

// A new instrument's envelope: flags, count, loop and sustain nodes, then
// nodes of a value byte and a tick word. Panning and pitch values -32..32
// become the data model's 0..64.
std::uint8_t read_envelope(Envelope& envelope, const LoadData& header, std::size_t at,
                           bool panning) {
    const std::uint8_t flags = header.byte(at);
    const std::int32_t nodes = std::min<std::int32_t>(header.byte(at + 1), it_envelope_nodes);
    for (std::int32_t n = 0; n < nodes; ++n) {
        const std::size_t node = at + 6 + 3 * static_cast<std::size_t>(n);
        const std::int32_t value =
            panning ? static_cast<std::int8_t>(header.byte(node)) + 32 : header.byte(node);
        if (!add_point(envelope, header.little_word(node + 1), value)) break;
    }
    set_marks(envelope, {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, header.byte(at + 2),
                         header.byte(at + 3), header.byte(at + 4), header.byte(at + 5)});
    envelope.carries = (flags & envelope_carry) != 0 ? 1 : 0;
    return flags;
}

// An old instrument's volume envelope: nodes of a tick byte and a value byte
// at 0x1F8, ending at tick 255.
void read_old_envelope(Envelope& envelope, const LoadData& header) {
    for (std::int32_t n = 0; n < it_envelope_nodes; ++n) {
        const std::size_t node = 0x1F8 + 2 * static_cast<std::size_t>(n);
        if (header.byte(node) == 0xFF ||
            !add_point(envelope, header.byte(node), header.byte(node + 1)))
            break;
    }
    const std::uint8_t flags = header.byte(0x11);
    set_marks(envelope, {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, header.byte(0x12),
                         header.byte(0x13), header.byte(0x14), header.byte(0x15)});
}

std::size_t pointer(const LoadData& data, std::size_t table, std::int32_t index) {
    return data.little_dword(table + 4 * static_cast<std::size_t>(index));
}

// An instrument of sample mode: the sample alone, for every key.
bool load_sample_instrument(Instrument& instrument, const LoadData& data, std::size_t at,
                            std::uint64_t& announced_end) {
    instrument.sample_count = 1;
    instrument.global_volume = full_instrument_global_volume;
    instrument.samples = allocate<Sample>(1);
    if (!instrument.samples) return false;
    const bool loaded = load_sample(instrument.samples[0], data, at, announced_end);
    convert_name(instrument.name, data, at + 0x14, at == 0 ? 0 : 26);
    return loaded;
}

// An instrument of instrument mode: slot 0 is silence, for keys that name no
// sample; the others are the distinct samples of its key table, taken from
// `loaded`, whose frames the first taker owns.
bool load_keyed_instrument(Instrument& instrument, const LoadData& header, Sample* loaded,
                           std::uint8_t* taken, const ItLayout& layout) {
    std::int32_t slots[256] = {};
    std::int32_t used[highest_key + 1] = {};
    std::int32_t count = 1;
    for (std::int32_t key = 1; key <= highest_key; ++key) {
        const std::size_t entry = key_table + 2 * static_cast<std::size_t>(key - 1);
        instrument.key_notes[key] = static_cast<std::int8_t>(
            std::min<std::int32_t>(it_note_key(header.byte(entry)), highest_key));
        const std::int32_t number = header.byte(entry + 1);
        if (number < 1 || number > layout.sample_count) continue;
        if (slots[number] == 0) {
            slots[number] = count;
            used[count++] = number;
        }
        instrument.key_samples[key] = static_cast<std::int8_t>(slots[number]);
    }
    instrument.sample_count = count;
    instrument.samples = allocate<Sample>(count);
    if (!instrument.samples) return false;
    for (std::int32_t slot = 1; slot < count; ++slot) {
        const std::int32_t index = used[slot] - 1;
        instrument.samples[slot] = loaded[index];
        instrument.samples[slot].borrows_data = taken[index];
        taken[index] = 1;
    }
    convert_name(instrument.name, header, 0x20, 26);
    instrument.global_volume = full_instrument_global_volume;
    if (layout.old_instruments) {
        read_old_envelope(instrument.volume_envelope, header);
        instrument.fadeout = header.little_word(0x18) * old_fade_scale;
        instrument.new_note_action = choice(header, 0x1A, 3);
        // The old duplicate note check is the new one by key, cutting.
        instrument.duplicate_check = header.byte(0x1B) == 1 ? 1 : 0;
    } else {
        read_envelope(instrument.volume_envelope, header, 0x130, false);
        read_envelope(instrument.panning_envelope, header, 0x182, true);
        const std::uint8_t pitch_flags =
            read_envelope(instrument.pitch_envelope, header, 0x1D4, true);
        instrument.pitch_envelope_filters = (pitch_flags & filter_envelope) != 0;
        instrument.fadeout = header.little_word(0x14) * fade_scale;
        instrument.global_volume =
            std::min<std::int16_t>(header.byte(0x18), full_instrument_global_volume);
        const std::uint8_t pan = header.byte(0x19);
        if ((pan & use_default_pan) == 0)
            instrument.default_pan =
                static_cast<std::int16_t>(it_panning(std::min<std::int32_t>(pan, it_full_pan)) + 1);
        instrument.pitch_pan_separation = static_cast<std::int8_t>(
            std::clamp<std::int32_t>(static_cast<std::int8_t>(header.byte(0x16)), -32, 32));
        instrument.pitch_pan_centre = static_cast<std::int16_t>(it_note_key(header.byte(0x17)));
        instrument.random_volume = std::min<std::int16_t>(header.byte(0x1A), 100);
        instrument.random_pan = std::min<std::int16_t>(header.byte(0x1B), 64);
        instrument.initial_cutoff = header.byte(0x3A);
        instrument.initial_resonance = header.byte(0x3B);
        instrument.new_note_action = choice(header, 0x11, 3);
        instrument.duplicate_check = choice(header, 0x12, 3);
        instrument.duplicate_action = choice(header, 0x13, 2);
    }
    SampleSource silence{nullptr, 0};
    return prepare_sample(instrument.samples[0], silence);
}

bool load_keyed_instruments(Module& module, const LoadData& data, const ItLayout& layout,
                            Sample* loaded, std::uint8_t* taken, std::uint64_t& announced_end) {
    for (std::int32_t s = 0; s < layout.sample_count; ++s) {
        if (!load_sample(loaded[s], data, pointer(data, layout.sample_pointers, s), announced_end))
            return false;
    }
    for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
        const std::size_t at = pointer(data, layout.instrument_pointers, n - 1);
        const LoadData header = part(data, at, at == 0 ? 0 : 0x226);
        if (!load_keyed_instrument(module.instruments[n], header, loaded, taken, layout))
            return false;
    }
    return true;
}

} // namespace

bool it_load_instruments(Module& module, const LoadData& data, const ItLayout& layout,
                         std::uint64_t& announced_end) {
    module.instrument_count =
        layout.instrument_mode ? layout.instrument_count : layout.sample_count;
    module.instruments = allocate<Instrument>(module.instrument_count + 1);
    if (!module.instruments || !add_empty_instrument(module)) return false;
    if (!layout.instrument_mode) {
        for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
            const std::size_t at = pointer(data, layout.sample_pointers, n - 1);
            if (!load_sample_instrument(module.instruments[n], data, at, announced_end))
                return false;
        }
        return true;
    }
    Sample* loaded = allocate<Sample>(std::max(layout.sample_count, 1));
    if (!loaded) return false;
    std::uint8_t* taken = allocate<std::uint8_t>(std::max(layout.sample_count, 1));
    const bool done =
        taken && load_keyed_instruments(module, data, layout, loaded, taken, announced_end);
    // Samples no instrument took are not heard.
    for (std::int32_t s = 0; s < layout.sample_count && taken; ++s) {
        if (!taken[s]) sample_dispose(loaded[s]);
    }
    mem_free(taken);
    mem_free(loaded);
    return done;
}
