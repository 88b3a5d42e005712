// Impulse Tracker's compressed samples (IT 2.14, and 2.15 with its second
// delta): blocks of packed values at changing bit widths, decoded into the
// stored width so that the plain-sample path (prepare_sample) takes them up.
#pragma once
#include "base/errors.h"
#include <cstddef>
#include <cstdint>

struct ItPackedSample {
    const std::uint8_t* bytes; // from the sample's first block to the end of the data
    std::size_t length;
    std::uint32_t frames; // of one channel
    bool sixteen_bit = false;
    bool second_delta = false; // IT 2.15
};

// The most frames a packed stream of `length` bytes can hold: a value takes
// at least one bit. Bounds the output before it is allocated.
std::uint32_t it_packed_frame_bound(std::size_t length);

// Writes `frames` values into `out` (1 or 2 bytes each, little-endian,
// signed), which the caller supplies zero-filled. A block that runs past the
// data, a bit stream that runs out inside its block or a width that no
// encoder writes ends the decoding there: the rest stays 0 and the result is
// ModuleLoadFailed. `announced` receives the bytes the decoded blocks claim.
ErrorName it_unpack_sample(const ItPackedSample& packed, std::uint8_t* out,
                           std::uint64_t& announced);
