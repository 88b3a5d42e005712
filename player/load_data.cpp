#include "player/load_data.h"
#include <algorithm>
#include <cstring>

LoadData part(const LoadData& data, std::uint64_t offset, std::uint64_t size) {
    const std::size_t start =
        static_cast<std::size_t>(std::min<std::uint64_t>(offset, data.length));
    const std::size_t held = data.length - start;
    return LoadData{data.bytes + start,
                    static_cast<std::size_t>(std::min<std::uint64_t>(size, held))};
}

void convert_name(char* destination, const LoadData& data, std::size_t offset, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t source = data.byte(offset + i);
        destination[i] = static_cast<char>(source >= 33 ? source : ' ');
    }
}

bool has_signature(const LoadData& data, std::size_t offset, const char* signature) {
    // Byte by byte, with the name conversion of each: no copy to overrun,
    // whatever the signature's length.
    for (std::size_t i = 0; signature[i] != '\0'; ++i) {
        char converted = 0;
        convert_name(&converted, data, offset + i, 1);
        if (converted != signature[i]) return false;
    }
    return true;
}

void set_message(char* load_message, const char* text) {
    std::size_t n = std::strlen(text);
    if (n >= load_message_size) n = load_message_size - 1;
    std::memcpy(load_message, text, n);
    load_message[n] = '\0';
}

bool add_empty_instrument(Module& module) {
    Instrument& empty = module.instruments[0];
    empty.sample_count = 1;
    empty.samples = allocate<Sample>(1);
    if (!empty.samples) return false;
    empty.samples[0].data = allocate<std::int16_t>(1);
    return empty.samples[0].data != nullptr;
}

std::int32_t mix_gain_for_channels(std::int32_t channel_count) {
    // The largest g with g * g * channel_count <= 128 * 128, at most 64.
    std::int32_t gain = 64;
    while (gain > 1 && gain * gain * channel_count > 128 * 128) --gain;
    return gain;
}

bool load_order_list(Module& module, const LoadData& data, std::size_t offset, std::int32_t count) {
    constexpr std::uint8_t end_of_song = 255;
    module.order_list = allocate<std::uint8_t>(order_list_size);
    if (!module.order_list) return false;
    for (std::int32_t i = 0; i < std::min(count, order_list_size) &&
                             data.byte(offset + static_cast<std::size_t>(i)) != end_of_song;
         ++i) {
        module.order_list[i] = data.byte(offset + static_cast<std::size_t>(i));
        module.song_length = i + 1;
    }
    return true;
}
