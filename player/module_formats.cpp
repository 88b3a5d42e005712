#include "player/module_formats.h"
#include "player/load_data.h"
#include "player/mod_loader.h"
#include "player/s3m_loader.h"
#include "player/xm_loader.h"
#include <cstring>

namespace {

constexpr std::size_t mod_signature_offset = 1080;
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

// A MOD of 15 samples has no signature, so it must look like one: a song
// length of 1..128, order entries below 128, sample volumes up to 64,
// fine-tune bytes up to 15 and every pattern present. Text, empty files and
// other binary data fail some of these at once.
bool plausible_15_sample_mod(const LoadData& data) {
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

void set_format(LoadedFormat& format, const char* name, std::uint64_t announced,
                std::size_t length) {
    std::memset(format.name, 0, sizeof format.name);
    std::strncpy(format.name, name, sizeof format.name - 1);
    format.missing_bytes = announced > length ? announced - length : 0;
}

Module* load_mod(const std::uint8_t* data, std::size_t length, const ModLayout& layout,
                 const char* name, LoadedFormat& format) {
    set_format(format, name, mod_announced_bytes(data, length, layout), length);
    return mod_load(data, length, layout);
}

} // namespace

Module* module_load_any(const std::uint8_t* data, std::size_t length,
                        char load_message[load_message_size], LoadedFormat& format) {
    const LoadData bytes{data, length};
    format = LoadedFormat{};
    if (has_signature(bytes, 0, "Extended Module:")) {
        std::uint64_t announced = 0;
        Module* module = xm_load(data, length, load_message, announced);
        set_format(format, "XM", announced, length);
        return module;
    }
    if (s3m_signature(data, length)) {
        std::uint64_t announced = 0;
        Module* module = s3m_load(data, length, load_message, announced);
        set_format(format, "S3M", announced, length);
        return module;
    }
    if (length >= mod_signature_offset + 4) {
        bool paired = false;
        const std::uint8_t* signature = data + mod_signature_offset;
        const std::int32_t channels = signature_channels(signature, paired);
        if (channels > 0) {
            char name[16] = "MOD ";
            std::memcpy(name + 4, signature, 4);
            return load_mod(data, length, ModLayout{channels, 31, paired}, name, format);
        }
    }
    if (plausible_15_sample_mod(bytes)) {
        return load_mod(data, length, ModLayout{4, 15, false}, "MOD 15 samples", format);
    }
    set_message(load_message, "not a module: no MOD, S3M or XM signature");
    return nullptr;
}
