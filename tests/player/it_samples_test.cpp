#include "player/it_samples.h"
#include "tests/player/it_sample_bits.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Unpacked {
    ErrorName error;
    std::uint64_t announced;
    std::vector<std::int32_t> frames; // signed values of the stored width
};

// Unpacks into a buffer of exactly the frames' size, so that the address
// sanitizer sees any write past it.
Unpacked unpack(const std::vector<std::uint8_t>& data, std::uint32_t frames, bool sixteen_bit,
                bool second_delta = false) {
    const std::size_t width = sixteen_bit ? 2 : 1;
    std::vector<std::uint8_t> out(frames * width);
    Unpacked result{};
    result.error = it_unpack_sample(
        ItPackedSample{data.data(), data.size(), frames, sixteen_bit, second_delta}, out.data(),
        result.announced);
    for (std::uint32_t i = 0; i < frames; ++i) {
        result.frames.push_back(sixteen_bit
                                    ? static_cast<std::int16_t>(out[2 * i] | out[2 * i + 1] << 8)
                                    : static_cast<std::int8_t>(out[i]));
    }
    return result;
}

// Every kind of width change of 8-bit data: from 9 bits by the top bit,
// from 3 by the lone top bit and three more bits, from 8 by the band around
// its top value.
std::vector<std::uint8_t> eight_bit_changes() {
    ItBlockWriter w;
    w.put(5, 9);
    w.put(250, 9);       // -6
    w.put(0x100 | 2, 9); // to 3 bits
    w.put(1, 3);
    w.put(7, 3); // -1
    w.put(4, 3);
    w.put(6, 3);   // 6 + 1 = 7 names 3 or more: one more, 8 bits
    w.put(200, 8); // -56
    w.put(127, 8); // band 124..131: the fourth names 4 bits
    w.put(15, 4);  // -1
    return w.block();
}

} // namespace

TEST(ItSamples, ChangesWidthsOfEveryKindAndIntegratesOnceOrTwice) {
    const std::vector<std::uint8_t> data = eight_bit_changes();
    const Unpacked once = unpack(data, 6, false);
    EXPECT_EQ(once.error, ErrorName::Ok);
    EXPECT_EQ(once.announced, data.size());
    EXPECT_EQ(once.frames, (std::vector<std::int32_t>{5, -1, 0, -1, -57, -58}));
    // IT 2.15 sums the sums, wrapping at 8 bits.
    EXPECT_EQ(unpack(data, 6, false, true).frames,
              (std::vector<std::int32_t>{5, 4, 4, 3, -54, -112}));

    ItBlockWriter w;
    w.put(0x10000 | 4, 17); // to 5 bits
    w.put(3, 5);
    w.put(16, 5);
    w.put(10, 4);         // 10 + 1 names 5 or more: 12 bits
    w.put(0xFFE, 12);     // -2
    w.put(2040 + 15, 12); // band 2040..2055: 16, past 12, is 17 bits
    w.put(40000, 17);
    const Unpacked wide = unpack(w.block(), 3, true);
    EXPECT_EQ(wide.error, ErrorName::Ok);
    EXPECT_EQ(wide.frames, (std::vector<std::int32_t>{3, 1, static_cast<std::int16_t>(40001)}));
}

TEST(ItSamples, StartsEachBlockAtTheWidestWidthFromZero) {
    // A block of 0x8000 8-bit or 0x4000 16-bit frames that drops to 1 bit,
    // then a block that must start at the widest width from a zero sum.
    for (const bool sixteen_bit : {false, true}) {
        const int widest = sixteen_bit ? 17 : 9;
        const std::size_t block_frames = sixteen_bit ? 0x4000 : 0x8000;
        ItBlockWriter first;
        first.put(10, widest);
        first.put(1u << (widest - 1), widest); // to 1 bit: zeros from here on
        first.put(0, static_cast<int>(block_frames) - 1);
        ItBlockWriter second;
        second.put(2, widest);
        std::vector<std::uint8_t> data = first.block();
        const std::vector<std::uint8_t> next = second.block();
        data.insert(data.end(), next.begin(), next.end());
        const Unpacked result = unpack(data, block_frames + 1, sixteen_bit);
        EXPECT_EQ(result.error, ErrorName::Ok) << sixteen_bit;
        EXPECT_EQ(result.frames[block_frames - 1], 10) << sixteen_bit;
        EXPECT_EQ(result.frames[block_frames], 2) << sixteen_bit;
    }
}

TEST(ItSamples, EndsACutOrDamagedStreamWithZerosAndAnError) {
    std::vector<std::uint8_t> data = eight_bit_changes();
    // The block's count claims more than the data holds.
    data.resize(4);
    Unpacked cut = unpack(data, 6, false);
    EXPECT_EQ(cut.error, ErrorName::ModuleLoadFailed);
    EXPECT_EQ(cut.announced, eight_bit_changes().size());
    EXPECT_EQ(cut.frames, (std::vector<std::int32_t>{5, 0, 0, 0, 0, 0}));
    // More frames than the block's bits hold; no block header at all.
    EXPECT_EQ(unpack(eight_bit_changes(), 9, false).error, ErrorName::ModuleLoadFailed);
    EXPECT_EQ(unpack({0x01}, 1, false).error, ErrorName::ModuleLoadFailed);
    // A width no encoder writes.
    ItBlockWriter w;
    w.put(3, 9);
    w.put(0x1FF, 9);
    w.put(0, 16);
    EXPECT_EQ(unpack(w.block(), 2, false).frames, (std::vector<std::int32_t>{3, 0}));
}
