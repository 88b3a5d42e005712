#include "player/effect_codes.h"
#include "tests/player/it_builder.h"
#include "tests/player/it_sample_bits.h"
#include "tests/player/load_any.h"
#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> note_at(const Module& module, int pattern, int row, int channel) {
    const Pattern& p = module.patterns[pattern];
    const std::uint8_t* note = p.notes + (row * p.channel_count + channel) * note_size;
    return {note, note + note_size};
}

// Channel 0 with a new mask, then the same mask, then all values
// remembered; channel 3, disabled, with a note and a speed.
ItBuilder song() {
    ItBuilder b;
    b.header[0x30] = 100;
    b.header[0x32] = 4;
    b.header[0x33] = 140;
    b.header[0x40] = 0;
    b.header[0x41] = 64;
    b.header[0x42] = 100;
    b.header[0x43] = 128 + 32;
    b.orders = {1, 254, 0, 255, 0};
    b.patterns = {{0x81, 0x0F, 60, 1,  32, 3,    0x20, 0x84, 0x09, 60, 1, 3, 0, //
                   0x01, 255,  2,  68, 22, 0x80, 0,                             //
                   0x81, 0xF0, 0},
                  {}};
    b.pattern_rows = {4, 32};
    return b;
}

} // namespace

TEST(ItLoader, ReadsTheHeaderChannelsOrdersAndPackedNotes) {
    LoadedFormat format{};
    const AnyModulePtr module = load_any(song().build(), nullptr, &format);
    ASSERT_TRUE(module);
    EXPECT_STREQ(format.name, "IT");
    EXPECT_EQ(format.missing_bytes, 0u);
    EXPECT_EQ(module->initial_global_volume, 100);
    EXPECT_EQ(module->initial_speed, 4);
    EXPECT_EQ(module->initial_tempo, 140);
    EXPECT_EQ(module->linear_pitch, 1);
    // Scream Tracker's periods would be read as linear ones.
    EXPECT_FALSE(module->rules.scream_tracker_period_table);
    EXPECT_EQ(module->song_length, 3);
    EXPECT_EQ(std::vector<int>(module->order_list, module->order_list + 4),
              (std::vector<int>{1, 254, 0, 0}));
    ASSERT_EQ(module->channel_count, 4);
    EXPECT_EQ(std::vector<int>(module->channel_panning, module->channel_panning + 4),
              (std::vector<int>{0, 255, 128, 128}));
    EXPECT_EQ(module->patterns[0].row_count, 4);
    EXPECT_EQ(module->patterns[1].row_count, 32);
    // Hexadecimal break rows become the replay's decimal ones.
    EXPECT_EQ(note_at(*module, 0, 0, 0),
              (std::vector<std::uint8_t>{61, 1, 0x30, effect::s3m_pattern_break, 0x32}));
    EXPECT_EQ(note_at(*module, 0, 0, 3),
              (std::vector<std::uint8_t>{0, 0, 0, effect::s3m_speed, 3}));
    const std::vector<std::uint8_t> off = {key_note_off, 2, 0x93, effect::s3m_set_global_volume,
                                           128};
    EXPECT_EQ(note_at(*module, 0, 1, 0), off);
    EXPECT_EQ(note_at(*module, 0, 2, 0), off);

    ItBuilder mono = song();
    mono.header[0x2C] = 0; // and Amiga slides
    const AnyModulePtr amiga = load_any(mono.build());
    EXPECT_EQ(amiga->channel_panning[0], 128);
    EXPECT_TRUE(amiga->rules.scream_tracker_period_table);
}

TEST(ItLoader, ReadsPlainAndPackedSamplesAndKeyedInstruments) {
    ItBuilder b = song();
    std::vector<std::uint8_t>& looped = b.add_sample({0, 64, 0xC0, 127}, 1 | 16);
    looped[0x13] = 48;
    looped[0x2F] = 0x80 | 32;
    ItBuilder::put32(looped, 0x34, 1);
    ItBuilder::put32(looped, 0x38, 3);
    ItBuilder::put32(looped, 0x3C, 16726);
    b.add_sample({0x00, 0x80, 0xFF, 0xFF}, 1 | 2)[0x2E] = 0; // unsigned 16-bit
    ItBlockWriter packed;
    packed.put(5, 9);
    packed.put(250, 9);
    std::vector<std::uint8_t>& delta = b.add_sample(packed.block(), 1 | 8);
    delta[0x2E] = 1 | 4; // IT 2.15
    ItBuilder::put32(delta, 0x30, 2);
    AnyModulePtr module = load_any(b.build());
    ASSERT_TRUE(module);
    ASSERT_EQ(module->instrument_count, 3);
    const Sample& first = module->instruments[1].samples[0];
    EXPECT_EQ(first.volume, 48);
    EXPECT_EQ(first.panning, 129);
    EXPECT_EQ(first.middle_c, 16726);
    EXPECT_EQ(first.relative_note, 12);
    EXPECT_EQ(first.loop_start, 1);
    EXPECT_EQ(std::vector<int>(first.data, first.data + 3),
              (std::vector<int>{0, 64 << 8, -64 << 8}));
    EXPECT_EQ(module->instruments[2].samples[0].data[1], 32767);
    EXPECT_EQ(std::vector<int>(module->instruments[3].samples[0].data,
                               module->instruments[3].samples[0].data + 2),
              (std::vector<int>{5 << 8, 4 << 8}));

    // Instruments: the first maps C-5 and up to sample 3, the rest to
    // sample 1; the second, old-style, everything to sample 3.
    b.header[0x2C] |= 4;
    b.instruments.assign(2, std::vector<std::uint8_t>(554));
    for (int note = 0; note < 120; ++note) {
        b.instruments[0][0x41 + 2 * note] = note >= 60 ? 3 : 1;
        b.instruments[1][0x41 + 2 * note] = 3;
    }
    b.instruments[0][0x14] = 100;
    const std::vector<std::uint8_t> volume = {1 | 4, 3, 0, 0, 1, 1, 64, 0, 0, 32, 10, 0, 0, 20, 0};
    const std::vector<std::uint8_t> pan = {1, 2, 0, 0, 0, 0, 0xE0, 0, 0, 32, 5, 0};
    std::copy(volume.begin(), volume.end(), b.instruments[0].begin() + 0x130);
    std::copy(pan.begin(), pan.end(), b.instruments[0].begin() + 0x182);
    module = load_any(b.build());
    ASSERT_TRUE(module);
    const Instrument& keyed = module->instruments[1];
    ASSERT_EQ(keyed.sample_count, 3);
    EXPECT_EQ(keyed.samples[keyed.key_samples[60]].volume, 48);
    EXPECT_EQ(keyed.samples[keyed.key_samples[61]].data, module->instruments[2].samples[1].data);
    // All ten octaves: C-0 is key 1, B-9 key 120.
    EXPECT_EQ(keyed.key_samples[1], keyed.key_samples[60]);
    EXPECT_EQ(keyed.key_samples[120], keyed.key_samples[61]);
    EXPECT_EQ(keyed.fadeout, 3200);
    EXPECT_EQ(keyed.volume_envelope.point_count, 3);
    EXPECT_TRUE(keyed.volume_envelope.has_sustain);
    EXPECT_EQ(keyed.volume_envelope.sustain_at, 10);
    EXPECT_EQ(keyed.panning_envelope.point_values[0], 0);
    EXPECT_EQ(keyed.panning_envelope.point_values[1], 64);

    b.header[0x2B] = 1; // Cmwt 1.xx: the old instrument layout
    b.instruments[1][0x11] = 1;
    b.instruments[1][0x18] = 10;
    const std::vector<std::uint8_t> nodes = {0, 64, 10, 0, 0xFF};
    std::copy(nodes.begin(), nodes.end(), b.instruments[1].begin() + 0x1F8);
    module = load_any(b.build());
    ASSERT_TRUE(module);
    EXPECT_EQ(module->instruments[2].fadeout, 640);
    EXPECT_EQ(module->instruments[2].volume_envelope.point_count, 2);
    EXPECT_TRUE(module->instruments[2].volume_envelope.active);
    expect_clean_failure_at_every_allocation(b.build());
}

TEST(ItLoader, RefusesAFileCutInItsTablesAndLoadsOneCutLater) {
    const std::vector<std::uint8_t> full = song().build();
    const std::size_t tables = 0xC0 + 5 + 2 * 4;
    for (std::size_t length = 4; length <= full.size(); ++length) {
        std::string message;
        LoadedFormat format{};
        const AnyModulePtr module =
            load_any({full.begin(), full.begin() + static_cast<long>(length)}, &message, &format);
        EXPECT_EQ(module == nullptr, length < tables) << length;
        if (length < tables) {
            EXPECT_EQ(message, "IT file is cut short in its header") << length;
        } else {
            EXPECT_EQ(format.missing_bytes, full.size() - length) << length;
        }
    }
}
