// Each block starts its widths and sums afresh, so a damaged block cannot
// spoil the one after it; but the block lengths chain, so decoding stops at
// the first damaged one.
#include "player/it_samples.h"
#include <algorithm>

namespace {

// Values read least significant bit first, never past the block.
struct BitReader {
    const std::uint8_t* bytes;
    std::size_t length;
    std::size_t bit = 0;

    bool read(std::int32_t width, std::uint32_t& value) {
        if (bit + static_cast<std::size_t>(width) > length * 8) return false;
        value = 0;
        for (std::int32_t i = 0; i < width; ++i, ++bit) {
            value |= static_cast<std::uint32_t>(bytes[bit >> 3] >> (bit & 7) & 1) << i;
        }
        return true;
    }
};

// The widths of one sample size: the first (and widest) width, the bits that
// name a new width from the narrowest ones, and the band of values that does
// so from the middle widths.
struct WidthCode {
    std::int32_t widest;
    std::int32_t change_bits;
    std::int32_t band_below_top;
};
constexpr WidthCode eight_bit_code{9, 3, 4};
constexpr WidthCode sixteen_bit_code{17, 4, 8};
constexpr std::int32_t narrowest_band_width = 7;

// A width named relative to the current one skips it.
std::int32_t skipping(std::int32_t named, std::int32_t width) {
    return named >= width ? named + 1 : named;
}

enum class Read { value, width_changed, failed };

// One value of the stream: a delta in `delta`, or a new width in `width`.
Read read_value(BitReader& reader, const WidthCode& code, std::int32_t& width,
                std::int32_t& delta) {
    std::uint32_t value = 0;
    if (!reader.read(width, value)) return Read::failed;
    const std::uint32_t top = 1u << (width - 1);
    if (width < narrowest_band_width) {
        if (value == top) {
            std::uint32_t named = 0;
            if (!reader.read(code.change_bits, named)) return Read::failed;
            width = skipping(static_cast<std::int32_t>(named) + 1, width);
            return Read::width_changed;
        }
    } else if (width < code.widest) {
        const std::uint32_t band_start = top - static_cast<std::uint32_t>(code.band_below_top);
        if (value >= band_start && value < band_start + 2 * code.band_below_top) {
            width = skipping(static_cast<std::int32_t>(value - band_start) + 1, width);
            return Read::width_changed;
        }
    } else if ((value & top) != 0) {
        width = static_cast<std::int32_t>(value & (top - 1)) + 1;
        return width <= code.widest ? Read::width_changed : Read::failed;
    } else {
        delta = static_cast<std::int32_t>(value);
        return Read::value;
    }
    const std::uint32_t sign_extended = (value ^ top) - top;
    delta = static_cast<std::int32_t>(sign_extended);
    return Read::value;
}

// Decodes one block into `out[0..count)`; false when it ends early.
bool unpack_block(BitReader reader, const WidthCode& code, bool second_delta, std::uint8_t* out,
                  std::uint32_t count) {
    std::int32_t width = code.widest;
    std::uint32_t sum = 0, second_sum = 0;
    const bool wide = code.widest == sixteen_bit_code.widest;
    for (std::uint32_t frame = 0; frame < count;) {
        std::int32_t delta = 0;
        const Read read = read_value(reader, code, width, delta);
        if (read == Read::failed) return false;
        if (read == Read::width_changed) continue;
        sum += static_cast<std::uint32_t>(delta);
        second_sum += sum;
        const std::uint32_t stored = second_delta ? second_sum : sum;
        if (wide) {
            out[2 * frame] = static_cast<std::uint8_t>(stored);
            out[2 * frame + 1] = static_cast<std::uint8_t>(stored >> 8);
        } else {
            out[frame] = static_cast<std::uint8_t>(stored);
        }
        ++frame;
    }
    return true;
}

constexpr std::uint32_t block_bytes = 0x8000;
constexpr std::size_t block_header_bytes = 2;

} // namespace

std::uint32_t it_packed_frame_bound(std::size_t length) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{length} * 8, 1u << 31));
}

ErrorName it_unpack_sample(const ItPackedSample& packed, std::uint8_t* out,
                           std::uint64_t& announced) {
    const WidthCode& code = packed.sixteen_bit ? sixteen_bit_code : eight_bit_code;
    const std::uint32_t value_bytes = packed.sixteen_bit ? 2 : 1;
    const std::uint32_t block_frames = block_bytes / value_bytes;
    std::size_t at = 0;
    announced = 0;
    for (std::uint32_t done = 0; done < packed.frames; done += block_frames) {
        if (packed.length - at < block_header_bytes) return ErrorName::ModuleLoadFailed;
        const std::size_t stated = packed.bytes[at] | packed.bytes[at + 1] << 8;
        at += block_header_bytes;
        announced = at + stated;
        const std::size_t held = std::min(stated, packed.length - at);
        const BitReader reader{packed.bytes + at, held};
        const std::uint32_t count = std::min(block_frames, packed.frames - done);
        if (!unpack_block(reader, code, packed.second_delta, out + done * value_bytes, count) ||
            held < stated) {
            return ErrorName::ModuleLoadFailed;
        }
        at += stated;
    }
    return ErrorName::Ok;
}
