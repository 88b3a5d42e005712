#include "player/midi_macros.h"

namespace {

constexpr std::int32_t most_bytes = 64;

std::int32_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::int32_t letter_value(char c, const MacroValues& values) {
    switch (c) {
    case 'z':
        return values.parameter;
    case 'v':
        return values.volume;
    case 'u':
        return values.mixed_volume;
    default:
        return -1;
    }
}

// The macro's bytes; a lone digit before a letter, a space or the end is a
// byte of its own.
std::int32_t macro_bytes(const char* macro, std::int32_t length, const MacroValues& values,
                         std::uint8_t* bytes) {
    std::int32_t count = 0, pending = -1;
    const auto emit = [&](std::int32_t value) {
        if (count < most_bytes) bytes[count++] = static_cast<std::uint8_t>(value);
    };
    for (std::int32_t i = 0; i < length && macro[i] != '\0'; ++i) {
        const std::int32_t digit = hex_digit(macro[i]);
        if (digit >= 0) {
            if (pending < 0) {
                pending = digit;
            } else {
                emit(pending << 4 | digit);
                pending = -1;
            }
            continue;
        }
        if (pending >= 0) emit(pending);
        pending = -1;
        const std::int32_t value = letter_value(macro[i], values);
        if (value >= 0) emit(value);
    }
    if (pending >= 0) emit(pending);
    return count;
}

} // namespace

MacroFilter macro_filter(const char* macro, std::int32_t length, MacroValues values) {
    std::uint8_t bytes[most_bytes];
    const std::int32_t count = macro_bytes(macro, length, values, bytes);
    MacroFilter filter{-1, -1};
    for (std::int32_t i = 0; i + 3 < count; ++i) {
        if (bytes[i] != 0xF0 || bytes[i + 1] != 0xF0 || bytes[i + 2] > 1 || bytes[i + 3] > 127)
            continue;
        (bytes[i + 2] == 0 ? filter.cutoff : filter.resonance) = bytes[i + 3];
        i += 3;
    }
    return filter;
}
