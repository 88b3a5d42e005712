// Seeds of the IT target: small IT modules in sample and instrument mode,
// old and new instruments, plain and packed (2.14 and 2.15) samples with
// loops, and patterns that use every mask bit and remembered value.
#include "fuzz/seed_files.h"
#include "tests/player/it_builder.h"
#include "tests/player/it_sample_bits.h"

namespace {

ItBuilder song(bool instrument_mode, bool old_instruments) {
    ItBuilder b;
    b.header[0x2C] = static_cast<std::uint8_t>(1 | (instrument_mode ? 4 : 0) | 8);
    if (old_instruments) b.header[0x2B] = 1;
    b.orders = {0, 254, 1, 0, 255};
    std::vector<std::uint8_t> rows;
    for (int row = 0; row < 32; ++row) {
        const int command = 1 + row % 26;
        rows.insert(rows.end(),
                    {0x81, 0x0F, static_cast<std::uint8_t>(48 + row),
                     static_cast<std::uint8_t>(1 + row % 3), static_cast<std::uint8_t>(row * 7),
                     static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(row * 37)});
        rows.insert(rows.end(),
                    {0x82, 0xF0, 0x03, static_cast<std::uint8_t>(row % 2 ? 255 : 254), 0});
    }
    b.patterns = {rows, {0x81, 0x01, 60, 0}};
    b.pattern_rows = {32, 64};
    std::vector<std::uint8_t> wave;
    for (int i = 0; i < 64; ++i) wave.push_back(static_cast<std::uint8_t>(i * 8));
    std::vector<std::uint8_t>& looped = b.add_sample(wave, 1 | 16 | 64);
    ItBuilder::put32(looped, 0x38, 64);
    ItBlockWriter packed;
    for (int i = 0; i < 200; ++i) packed.put(static_cast<std::uint32_t>(i % 7), 9);
    b.add_sample(packed.block(), 1 | 8)[0x2E] = 1 | 4;
    ItBuilder::put32(b.samples.back(), 0x30, 200);
    b.add_sample(packed.block(), 1 | 2 | 8);
    ItBuilder::put32(b.samples.back(), 0x30, 100);
    if (instrument_mode) {
        b.instruments.assign(2, std::vector<std::uint8_t>(554));
        for (int note = 0; note < 120; ++note) {
            b.instruments[0][0x41 + 2 * note] = static_cast<std::uint8_t>(1 + note % 3);
            b.instruments[1][0x41 + 2 * note] = 2;
        }
        const std::vector<std::uint8_t> envelope = {7, 3,  0, 2, 1,  1,  64, 0,
                                                    0, 20, 8, 0, 40, 16, 0};
        std::copy(envelope.begin(), envelope.end(), b.instruments[0].begin() + 0x130);
        std::copy(envelope.begin(), envelope.end(), b.instruments[0].begin() + 0x182);
        const std::vector<std::uint8_t> nodes = {0, 64, 5, 32, 9, 0, 0xFF};
        std::copy(nodes.begin(), nodes.end(), b.instruments[1].begin() + 0x1F8);
        b.instruments[1][0x11] = 7;
        b.instruments[0][0x14] = 20;
    }
    return b;
}

} // namespace

bool write_it_seeds(const std::string& folder) {
    const std::vector<std::uint8_t> whole = song(true, false).build();
    const std::vector<std::uint8_t> cut(whole.begin(),
                                        whole.begin() + static_cast<long>(whole.size() * 2 / 3));
    return write_seed(folder, "samples.it", song(false, false).build()) &&
           write_seed(folder, "instruments.it", whole) &&
           write_seed(folder, "old-instruments.it", song(true, true).build()) &&
           write_seed(folder, "cut.it", cut);
}
