// The packer: each step takes the choice the coder stores in the fewest bits
// by a fixed estimate (a repeat of the last distance, the longest match, or
// a literal), looking one byte ahead before it settles for a literal.
#include "tools/songgen/song_pack.h"
#include "player/packed_song.h"

#include <algorithm>

namespace {

using namespace song_packing;

struct RangeEncoder {
    std::uint64_t low = 0;
    std::uint32_t range = 0xFFFFFFFFu;
    std::uint8_t cache = 0;
    std::uint64_t pending = 1; // bytes held back until a carry can no longer reach them
    std::vector<std::uint8_t> out;
};

void shift_low(RangeEncoder& encoder) {
    if (static_cast<std::uint32_t>(encoder.low) < 0xFF000000u || (encoder.low >> 32) != 0) {
        const auto carry = static_cast<std::uint8_t>(encoder.low >> 32);
        std::uint8_t byte = encoder.cache;
        do {
            encoder.out.push_back(static_cast<std::uint8_t>(byte + carry));
            byte = 0xFF;
        } while (--encoder.pending != 0);
        encoder.cache = static_cast<std::uint8_t>(encoder.low >> 24);
    }
    ++encoder.pending;
    encoder.low = (encoder.low & 0x00FFFFFFu) << 8;
}

void encode_bit(RangeEncoder& encoder, std::uint16_t& probability, std::uint32_t bit) {
    const std::uint32_t bound = (encoder.range >> probability_bits) * probability;
    if (bit == 0) {
        encoder.range = bound;
        probability += ((1u << probability_bits) - probability) >> adaptation_shift;
    } else {
        encoder.low += bound;
        encoder.range -= bound;
        probability -= probability >> adaptation_shift;
    }
    while (encoder.range < range_floor) {
        encoder.range <<= 8;
        shift_low(encoder);
    }
}

void encode_tree(RangeEncoder& encoder, std::uint16_t* probabilities, int bits,
                 std::uint32_t value) {
    std::uint32_t node = 1;
    for (int i = bits - 1; i >= 0; --i) {
        const std::uint32_t bit = (value >> i) & 1;
        encode_bit(encoder, probabilities[node], bit);
        node = node * 2 + bit;
    }
}

std::size_t match_length(const std::vector<std::uint8_t>& bytes, std::size_t at,
                         std::size_t distance) {
    const std::size_t longest = std::min<std::size_t>(bytes.size() - at, minimum_match + 255);
    std::size_t length = 0;
    while (length < longest && bytes[at + length] == bytes[at + length - distance]) ++length;
    return length;
}

struct Match {
    std::size_t length = 0;
    std::size_t distance = 0;
};

constexpr std::size_t farthest = (1u << 15) - 1;

// Where each pair of bytes starts, in order: a match begins with one.
using PairStarts = std::vector<std::vector<std::uint32_t>>;

PairStarts pair_starts(const std::vector<std::uint8_t>& bytes) {
    PairStarts starts(1u << 16);
    for (std::size_t at = 0; at + 1 < bytes.size(); ++at)
        starts[bytes[at] << 8 | bytes[at + 1]].push_back(static_cast<std::uint32_t>(at));
    return starts;
}

// The longest match, the nearest of equal length.
Match longest_match(const std::vector<std::uint8_t>& bytes, const PairStarts& starts,
                    std::size_t at) {
    Match best;
    if (at + 1 >= bytes.size()) return best;
    const std::vector<std::uint32_t>& earlier = starts[bytes[at] << 8 | bytes[at + 1]];
    auto from = std::lower_bound(earlier.begin(), earlier.end(), at);
    while (from != earlier.begin()) {
        const std::size_t distance = at - *--from;
        if (distance > farthest) break;
        const std::size_t length = match_length(bytes, at, distance);
        if (length > best.length) best = {length, distance};
    }
    return best;
}

int significant_bits(std::size_t value) {
    int bits = 0;
    while (value >> bits) ++bits;
    return bits;
}

// A rough cost in bits, to choose between a new match and a literal.
bool worth_a_match(const Match& match) {
    return match.length >= 3 || (match.length == minimum_match && match.distance < 64);
}

} // namespace

std::vector<std::uint8_t> pack_song(const std::vector<std::uint8_t>& bytes) {
    Model model;
    reset(model);
    RangeEncoder encoder;
    const PairStarts starts = pair_starts(bytes);
    std::size_t position = 0;
    std::size_t last_distance = 0;
    std::uint32_t after_match = 0;
    while (position < bytes.size()) {
        const std::size_t repeat =
            after_match == 0 && last_distance != 0 && last_distance <= position
                ? match_length(bytes, position, last_distance)
                : 0;
        Match match = longest_match(bytes, starts, position);
        const bool take_repeat = repeat >= minimum_match && repeat + 1 >= match.length;
        const bool later_is_longer =
            position + 1 < bytes.size() &&
            longest_match(bytes, starts, position + 1).length > match.length + 1;
        if (!take_repeat && (!worth_a_match(match) || later_is_longer)) {
            encode_bit(encoder, model.is_match[after_match], 0);
            encode_tree(encoder, model.literal, 8, bytes[position++]);
            after_match = 0;
            continue;
        }
        encode_bit(encoder, model.is_match[after_match], 1);
        if (take_repeat) {
            encode_bit(encoder, model.is_repeat, 1);
            match = {repeat, last_distance};
        } else {
            if (after_match == 0) encode_bit(encoder, model.is_repeat, 0);
            const int bit_count = significant_bits(match.distance);
            encode_tree(encoder, model.distance_bit_count, distance_bit_count_bits,
                        static_cast<std::uint32_t>(bit_count));
            for (int bit = bit_count - 2; bit >= 0; --bit)
                encode_bit(encoder, model.distance_bits[bit_count][bit],
                           static_cast<std::uint32_t>(match.distance >> bit) & 1);
        }
        encode_tree(encoder, model.length, length_bits,
                    static_cast<std::uint32_t>(match.length - minimum_match));
        position += match.length;
        last_distance = match.distance;
        after_match = 1;
    }
    for (int i = 0; i < 5; ++i) shift_low(encoder);

    const std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
    const std::uint32_t check = checksum(bytes.data(), bytes.size());
    std::vector<std::uint8_t> packed;
    for (std::uint32_t word : {length, check})
        for (int shift = 0; shift < 32; shift += 8)
            packed.push_back(static_cast<std::uint8_t>(word >> shift));
    // The coder's first byte is always 0: the unpacker starts without it.
    packed.insert(packed.end(), encoder.out.begin() + 1, encoder.out.end());
    return packed;
}
