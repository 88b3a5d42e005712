#include "player/load_data.h"
#include <cstring>

void convert_name(char* destination, const LoadData& data, std::size_t offset, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t source = data.byte(offset + i);
        destination[i] = static_cast<char>(source >= 33 ? source : ' ');
    }
}

bool has_signature(const LoadData& data, std::size_t offset, const char* signature) {
    char converted[16];
    const std::size_t n = std::strlen(signature);
    convert_name(converted, data, offset, n);
    return std::memcmp(converted, signature, n) == 0;
}

void set_message(char* load_message, const char* text) {
    std::size_t n = std::strlen(text);
    if (n >= load_message_size) n = load_message_size - 1;
    std::memcpy(load_message, text, n);
    load_message[n] = '\0';
}

std::int32_t mix_gain_for_channels(std::int32_t channel_count) {
    // The largest g with g * g * channel_count <= 128 * 128, at most 64.
    std::int32_t gain = 64;
    while (gain > 1 && gain * gain * channel_count > 128 * 128) --gain;
    return gain;
}
