// What every loader needs to read module data safely: bounded reads (a byte
// at or past the end reads as 0, so a cut file reads as if zero-filled), the
// name conversion of text fields, the failure message and zero-filled arrays
// through the allocation seam.
#pragma once
#include "base/alloc.h"
#include "player/module.h"
#include <cstddef>
#include <cstdint>

struct LoadData {
    const std::uint8_t* bytes;
    std::size_t length;

    std::uint8_t byte(std::size_t offset) const { return offset < length ? bytes[offset] : 0; }
    std::int32_t big_word(std::size_t offset) const { return byte(offset) << 8 | byte(offset + 1); }
    std::int32_t little_word(std::size_t offset) const {
        return byte(offset) | byte(offset + 1) << 8;
    }
    std::uint32_t little_dword(std::size_t offset) const {
        return static_cast<std::uint32_t>(little_word(offset)) |
               static_cast<std::uint32_t>(little_word(offset + 2)) << 16;
    }
};

// A part of the data: reads past its own end read 0, like reads past the
// end of the whole data.
LoadData part(const LoadData& data, std::uint64_t offset, std::uint64_t size);

// Text fields keep only printable bytes: 0..32 become spaces, 128..255 stay.
void convert_name(char* destination, const LoadData& data, std::size_t offset, std::size_t n);

// Whether the bytes at `offset`, name-converted, spell `signature`.
bool has_signature(const LoadData& data, std::size_t offset, const char* signature);

// Writes a NUL-terminated reason, cut to fit the message buffer.
void set_message(char* load_message, const char* text);

// A zero-filled array of `count` records, or null.
template <typename T> T* allocate(std::int32_t count) {
    return static_cast<T*>(mem_alloc(sizeof(T) * static_cast<std::size_t>(count)));
}

// Instrument 0, which a channel plays until it meets a real one: one silent
// sample of length 0, whose data is the one element every sample carries.
// `instruments` must exist; false only when an allocation fails.
bool add_empty_instrument(Module& module);

// The played part of an order list of `count` entries at `offset`, as S3M
// and IT store it: up to the first end marker (255), at most the order
// list's size. Skip markers stay, so that jumps keep their targets; the
// replay passes over entries that name no pattern. False only when an
// allocation fails.
bool load_order_list(Module& module, const LoadData& data, std::size_t offset, std::int32_t count);

// The mix_gain for a song of `channel_count` channels. Four channels at full
// volume just fit 16 bits with gain 64 (two to a side, 204/256 + 51/256 each
// way), so up to four keep 64. More channels rarely sound at full volume and
// in phase at once: what adds up is their power, so the gain falls with the
// square root of the count (45 for 8, 32 for 16, 22 for 32). Songs with more
// channels then sound about as loud as four-channel ones without clipping
// when they get busy.
std::int32_t mix_gain_for_channels(std::int32_t channel_count);
