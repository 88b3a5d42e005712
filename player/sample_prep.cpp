// Sample data of every stored kind becomes the mixer's one kind: signed
// 16-bit mono frames with a forward loop the mixer never has to check.
#include "player/sample_prep.h"
#include "base/alloc.h"
#include "player/fixed_point.h"
#include <algorithm>

namespace {

// No tracker stores a sample this long; the bound keeps every position and
// every unrolled loop well inside 32 bits.
constexpr std::uint32_t most_frames = 1u << 28;
// The data model's shortest loop; anything shorter is repeated up to it.
constexpr std::int32_t shortest_loop = 4;

// The frames of the first channel that the data really holds.
std::int32_t present_frames(const SampleSource& source) {
    const std::size_t start = std::min(source.offset, source.length);
    const std::size_t held =
        (source.length - start) / static_cast<std::size_t>(source.bytes_per_value);
    const std::uint64_t frames = std::min<std::uint64_t>(source.frames, most_frames);
    return static_cast<std::int32_t>(std::min<std::uint64_t>(frames, held));
}

// Decodes `count` frames into `out` as signed 16-bit values.
void decode_frames(std::int16_t* out, const SampleSource& source, std::int32_t count) {
    const std::uint8_t* in = source.bytes + source.offset;
    std::uint16_t running = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint16_t value = 0;
        if (source.bytes_per_value == 2) {
            value = static_cast<std::uint16_t>(in[2 * i] | in[2 * i + 1] << 8);
        } else {
            value = static_cast<std::uint16_t>(in[i] << 8);
        }
        // Deltas add up with the wrap-around of the stored width; the 8-bit
        // values sit in the high byte, so 16-bit addition wraps the same way.
        if (source.delta) value = running = static_cast<std::uint16_t>(running + value);
        if (source.is_unsigned) value ^= 0x8000;
        out[i] = static_cast<std::int16_t>(value);
    }
}

struct Loop {
    std::int32_t start = 0;
    std::int32_t stored = 0; // frames of the stored loop
    std::int32_t cycle = 0;  // frames of one forward pass
    std::int32_t length = 0; // frames of the written loop: whole cycles, at least 4
};

// The loop inside the present frames, or none (length 0).
Loop fit_loop(const SampleSource& source, std::int32_t frames) {
    Loop loop;
    if (source.loop_length == 0 || source.loop_start >= static_cast<std::uint32_t>(frames)) {
        return loop;
    }
    loop.start = static_cast<std::int32_t>(source.loop_start);
    loop.stored = static_cast<std::int32_t>(std::min<std::uint64_t>(
        source.loop_length, static_cast<std::uint64_t>(frames - loop.start)));
    // Back and forth turns at the loop's edges, as FastTracker 2 plays it:
    // each end frame twice, a cycle of twice the loop; Impulse Tracker plays
    // the start frame once.
    const std::int32_t once = source.ping_pong_start_once ? 1 : 0;
    loop.cycle = source.ping_pong && loop.stored > 1 ? 2 * loop.stored - once : loop.stored;
    loop.length = loop.cycle;
    while (loop.length < shortest_loop) loop.length += loop.cycle;
    return loop;
}

} // namespace

std::uint64_t stored_bytes(const SampleSource& source) {
    return static_cast<std::uint64_t>(source.frames) *
           static_cast<std::uint64_t>(source.bytes_per_value) *
           static_cast<std::uint64_t>(source.channels);
}

bool prepare_sample(Sample& sample, const SampleSource& source) {
    const std::int32_t frames = present_frames(source);
    const Loop loop = fit_loop(source, frames);
    const std::int32_t end = loop.length > 0 ? loop.start + loop.length : frames;
    sample.data = static_cast<std::int16_t*>(
        mem_alloc(sizeof(std::int16_t) * (static_cast<std::size_t>(end) + 1)));
    if (!sample.data) return false;
    const std::int32_t decoded = loop.length > 0 ? loop.start + loop.stored : frames;
    decode_frames(sample.data, source, decoded);
    if (loop.length == 0) {
        sample.loop_start = frames;
        sample.loop_length = 0;
        return true; // data[frames] stays 0
    }
    // The rest of the loop repeats its first cycle; a ping-pong cycle runs
    // back down to the loop start.
    std::int16_t* looped = sample.data + loop.start;
    for (std::int32_t i = loop.stored; i <= loop.length; ++i) {
        const std::int32_t in_cycle = i % loop.cycle;
        looped[i] = looped[in_cycle < loop.stored ? in_cycle : 2 * loop.stored - 1 - in_cycle];
    }
    sample.loop_start = loop.start;
    sample.loop_length = loop.length;
    sample.ping_pong_frames = loop.cycle != loop.stored ? loop.stored : 0;
    sample.ping_pong_start_once = source.ping_pong_start_once && sample.ping_pong_frames > 0;
    return true;
}

void set_middle_c_rate(Sample& sample, std::uint32_t rate) {
    if (rate == 0) rate = middle_c_reference_rate;
    rate = std::min<std::uint32_t>(rate, 1u << 20);
    sample.middle_c = static_cast<std::int32_t>(rate);
    const std::int64_t ratio = static_cast<std::int64_t>(rate) * 32768 / middle_c_reference_rate;
    const std::int32_t octaves =
        fixed_log2(static_cast<std::int32_t>(std::max<std::int64_t>(ratio, 1)));
    // 1/32768 octave to 1/128 semitone is a factor of 1536 / 32768 = 3 / 64.
    const std::int32_t fine = (octaves * 3 + 32) >> 6;
    const std::int32_t semitones = (fine + 64) >> 7;
    sample.relative_note = static_cast<std::int16_t>(semitones);
    sample.fine_tune = static_cast<std::int16_t>(fine - semitones * 128);
}
