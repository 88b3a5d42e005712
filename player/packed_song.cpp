#include "player/packed_song.h"
#include "player/load_data.h"
#include "player/mod_loader.h"

namespace song_packing {

void reset(Model& model) {
    auto* probability = reinterpret_cast<std::uint16_t*>(&model);
    for (std::size_t i = 0; i < sizeof(Model) / sizeof(std::uint16_t); ++i)
        probability[i] = 1u << (probability_bits - 1);
}

std::uint32_t checksum(const std::uint8_t* bytes, std::size_t length) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < length; ++i) hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

} // namespace song_packing

namespace {

using namespace song_packing;

struct RangeDecoder {
    const std::uint8_t* at;
    const std::uint8_t* end;
    std::uint32_t range;
    std::uint32_t code;
    bool ran_out;
};

std::uint32_t next_byte(RangeDecoder& decoder) {
    if (decoder.at == decoder.end) {
        decoder.ran_out = true;
        return 0;
    }
    return *decoder.at++;
}

std::uint32_t decode_bit(RangeDecoder& decoder, std::uint16_t& probability) {
    const std::uint32_t bound = (decoder.range >> probability_bits) * probability;
    std::uint32_t bit = 0;
    if (decoder.code < bound) {
        decoder.range = bound;
        probability += ((1u << probability_bits) - probability) >> adaptation_shift;
    } else {
        decoder.code -= bound;
        decoder.range -= bound;
        probability -= probability >> adaptation_shift;
        bit = 1;
    }
    while (decoder.range < range_floor) {
        decoder.range <<= 8;
        decoder.code = (decoder.code << 8) | next_byte(decoder);
    }
    return bit;
}

// A value of `bits` bits, high bit first, each bit's probability chosen by
// the bits above it.
std::uint32_t decode_tree(RangeDecoder& decoder, std::uint16_t* probabilities, int bits) {
    std::uint32_t node = 1;
    for (int i = 0; i < bits; ++i) node = node * 2 + decode_bit(decoder, probabilities[node]);
    return node - (1u << bits);
}

std::uint32_t read_le32(const std::uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

bool unpack(const std::uint8_t* packed, std::size_t packed_length, std::uint8_t* out,
            std::size_t capacity, std::size_t& length) {
    if (packed_length < header_size) return false;
    length = read_le32(packed);
    if (length > capacity) return false;
    RangeDecoder decoder{packed + header_size, packed + packed_length, 0xFFFFFFFFu, 0, false};
    for (int i = 0; i < 4; ++i) decoder.code = (decoder.code << 8) | next_byte(decoder);
    Model model;
    reset(model);
    std::size_t position = 0;
    std::size_t distance = 0;
    std::uint32_t after_match = 0;
    while (position < length && !decoder.ran_out) {
        if (decode_bit(decoder, model.is_match[after_match]) == 0) {
            out[position++] = static_cast<std::uint8_t>(decode_tree(decoder, model.literal, 8));
            after_match = 0;
            continue;
        }
        if (after_match != 0 || decode_bit(decoder, model.is_repeat) == 0) {
            const std::uint32_t bit_count =
                decode_tree(decoder, model.distance_bit_count, distance_bit_count_bits);
            distance = bit_count;
            if (bit_count > 1) {
                distance = 1;
                for (std::uint32_t bit = bit_count - 1; bit-- > 0;)
                    distance =
                        distance * 2 + decode_bit(decoder, model.distance_bits[bit_count][bit]);
            }
        }
        const std::size_t match = minimum_match + decode_tree(decoder, model.length, length_bits);
        if (distance == 0 || distance > position || match > length - position) return false;
        for (std::size_t i = 0; i < match; ++i, ++position)
            out[position] = out[position - distance];
        after_match = 1;
    }
    return !decoder.ran_out && decoder.at == decoder.end &&
           checksum(out, length) == read_le32(packed + 4);
}

} // namespace

Module* packed_song_load(const std::uint8_t* packed, std::size_t packed_length,
                         std::uint8_t* buffer, std::size_t capacity,
                         char load_message[load_message_size]) {
    std::size_t length = 0;
    if (!unpack(packed, packed_length, buffer, capacity, length)) {
        set_message(load_message, "The packed song is damaged!");
        return nullptr;
    }
    return module_load(buffer, length, load_message);
}
