#include "player/mixer.h"
#include "player/sequencer.h"
#include "tests/player/load_any.h"
#include "tests/player/s3m_builder.h"
#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes note_of(const Module& module, int pattern, int row, int channel) {
    const Pattern& p = module.patterns[pattern];
    const std::uint8_t* at = p.notes + (row * p.channel_count + channel) * note_size;
    return {at, at + note_size};
}

std::vector<int> header_values(const Module& m) {
    return {m.channel_count, m.initial_speed,  m.initial_tempo,      m.initial_global_volume,
            m.mix_gain,      m.reference_rate, m.linear_pitch,       m.volume_slide_on_first_tick,
            m.song_length,   m.pattern_count,  m.channel_panning[0], m.channel_panning[2]};
}

} // namespace

TEST(S3mLoader, KeepsSampleChannelsWithTheirPanningAndHeaderValues) {
    S3mBuilder s3m;
    // AdLib drum, disabled, right
    s3m.channels[2] = 27, s3m.channels[3] = 0x81, s3m.channels[4] = 10;
    s3m.speed = 4, s3m.tempo = 150, s3m.global = 80, s3m.master = 0x80 | 24;
    AnyModulePtr module = load_any(s3m.build());
    ASSERT_TRUE(module);
    EXPECT_EQ(std::string(module->title, 9), "s3m test ");
    EXPECT_EQ(header_values(*module),
              (std::vector<int>{3, 4, 150, 64, 24, 8363, 0, 0, 1, 1, 51, 204}));
    EXPECT_EQ(module->channel_fm, nullptr);

    s3m.master = 48; // mono
    s3m.pans.assign(32, 0x20 | 15);
    s3m.version = 0x1300; // fast volume slides
    module = load_any(s3m.build());
    EXPECT_EQ(header_values(*module),
              (std::vector<int>{3, 4, 150, 64, 48, 8363, 0, 1, 1, 1, 128, 128}));
    s3m.master = 0xB0; // stereo: the pan table places every channel
    EXPECT_EQ(load_any(s3m.build())->channel_panning[1], 255);

    std::string message;
    s3m.channels.fill(27);
    EXPECT_FALSE(load_any(s3m.build(), &message));
    EXPECT_EQ(message, "S3M file has no sample or AdLib channels");
}

TEST(S3mLoader, KeepsAdLibChannelsAndInstrumentsAndTheMixLevelOfTheSoundCard) {
    S3mBuilder s3m;
    // AdLib melody 1, left sample, AdLib drum (dropped), AdLib melody 5.
    s3m.channels = {16, 0, 25, 20, 0x90};
    std::fill(s3m.channels.begin() + 5, s3m.channels.end(), 255);
    s3m.pans.assign(32, 0x20 | 2);
    s3m.samples.resize(2);
    s3m.samples[0].type = 2;
    s3m.samples[0].fm_patch = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    s3m.samples[0].volume = 50;
    s3m.samples[0].c2spd = 16726;
    s3m.master = 0x80 | 100;
    AnyModulePtr module = load_any(s3m.build());
    ASSERT_EQ(module->channel_count, 3);
    EXPECT_EQ(Bytes(module->channel_fm, module->channel_fm + 3), (Bytes{1, 0, 5}));
    // The FM chip is mono.
    EXPECT_EQ(Bytes(module->channel_panning, module->channel_panning + 3), (Bytes{128, 34, 128}));
    const Sample& fm = module->instruments[1].samples[0];
    EXPECT_TRUE(fm.is_fm);
    EXPECT_EQ(Bytes(fm.fm_patch, fm.fm_patch + 12),
              Bytes(s3m.samples[0].fm_patch.begin(), s3m.samples[0].fm_patch.end()));
    EXPECT_EQ(std::vector<int>({fm.volume, fm.middle_c, fm.relative_note}),
              (std::vector<int>{50, 16726, 12}));
    EXPECT_FALSE(module->instruments[2].samples[0].is_fm);
    // The Sound Blaster's mix follows the master volume.
    EXPECT_EQ(module->mix_gain, 100);
    // The UltraSound's does not, in Scream Tracker's own files; an address
    // of 1 is what a song saved for the Sound Blaster carries.
    s3m.samples[1].gus_address = 1;
    EXPECT_EQ(load_any(s3m.build())->mix_gain, 100);
    s3m.samples[1].gus_address = 2;
    EXPECT_EQ(load_any(s3m.build())->mix_gain, 48);
    s3m.version = 0x2013;
    EXPECT_EQ(load_any(s3m.build())->mix_gain, 100);
}

TEST(S3mLoader, EndsTheSongAtTheEndMarkerAndKeepsMarkersInPlace) {
    S3mBuilder s3m;
    s3m.patterns.resize(2);
    s3m.orders = {0, 254, 1, 255, 0, 1};
    AnyModulePtr module = load_any(s3m.build());
    EXPECT_EQ(module->song_length, 3);
    EXPECT_EQ(module->order_list[1], 254); // names no pattern: the replay skips it
    // Nothing before the end names a pattern: nothing would play.
    for (const Bytes& orders : {Bytes{255, 0}, Bytes{254, 7}}) {
        s3m.orders = orders;
        std::string message;
        EXPECT_FALSE(load_any(s3m.build(), &message));
        EXPECT_EQ(message, "S3M order list plays no pattern");
    }
}

TEST(S3mLoader, UnpacksNotesVolumesAndEffectLetters) {
    S3mBuilder s3m;
    s3m.channels[2] = 0x80; // disabled: its cells are dropped
    s3m.patterns.assign(2, {});
    s3m.absent_patterns = {false, true};
    s3m.patterns[0] = {{0, 0, 0x40, 1, 32, 1, 5},     {0, 1, 0x7B, 2, 99, 22, 0x30},
                       {0, 2, 0x40, 1, 10, 1, 1},     {0, 3, 254, 0, -1, 19, 0xB2},
                       {1, 0, 0x80, 0, -1, 24, 0x40}, {1, 1, 0x0C, 0, -1, 24, 0xA4},
                       {2, 3, 0x40, 0, -1, 0, 7},     {63, 0, 0x1B, 0, -1, 23, 1}};
    AnyModulePtr module = load_any(s3m.build());
    ASSERT_EQ(module->channel_count, 3);
    EXPECT_EQ(note_of(*module, 0, 0, 0), (Bytes{49, 1, 0x10 + 32, 0x81, 5}));      // C-4, A05
    EXPECT_EQ(note_of(*module, 0, 0, 1), (Bytes{96, 2, 0x50, 0x96, 0x30}));        // B-7, V30
    EXPECT_EQ(note_of(*module, 0, 0, 2), (Bytes{key_note_off, 0, 0, 0x93, 0xB2})); // ^^, SB2
    EXPECT_EQ(note_of(*module, 0, 1, 0), (Bytes{0, 0, 0, 0x08, 0x80}));            // octave 8; X40
    EXPECT_EQ(note_of(*module, 0, 1, 1), (Bytes{0, 0, 0, 0, 0}));     // semitone 12; XA4
    EXPECT_EQ(note_of(*module, 0, 2, 2), (Bytes{49, 0, 0, 0x80, 7})); // no letter, info 7
    EXPECT_EQ(note_of(*module, 0, 63, 0), (Bytes{24, 0, 0, 0, 0}));   // W
    EXPECT_EQ(module->patterns[1].channel_count, 0);
    EXPECT_EQ(module->patterns[1].row_count, 64);
}

TEST(S3mLoader, ReadsEachPackedPatternOnlyWithinItsStatedLength) {
    S3mBuilder s3m;
    s3m.patterns.assign(2, {});
    s3m.patterns[0] = {{0, 0, 0x40, 0, -1, 0, 0}, {10, 0, 0x41, 0, -1, 0, 0}};
    s3m.patterns[1] = {{0, 1, 0x42, 0, -1, 0, 0}};
    std::vector<std::uint8_t> bytes = s3m.build();
    // Cut pattern 0 to its length word and first row (5 bytes and its end).
    const std::size_t pointer = 96 + s3m.orders.size() + 2 * s3m.samples.size();
    const std::size_t at = static_cast<std::size_t>(bytes[pointer] | bytes[pointer + 1] << 8) * 16;
    bytes[at] = 2 + 6;
    bytes[at + 1] = 0;
    AnyModulePtr module = load_any(bytes);
    ASSERT_TRUE(module);
    EXPECT_EQ(note_of(*module, 0, 0, 0), (Bytes{49, 0, 0, 0, 0}));
    EXPECT_EQ(note_of(*module, 0, 10, 0), (Bytes{0, 0, 0, 0, 0})); // past the length
    EXPECT_EQ(note_of(*module, 1, 0, 1), (Bytes{51, 0, 0, 0, 0}));
}

TEST(S3mLoader, ConvertsSamplesOfEveryStoredKind) {
    S3mBuilder s3m;
    s3m.samples = {{1, 4, 0, 0, 8363, 70, 0, {0x80, 0xFF, 0x00, 0x81}},
                   {1, 8, 2, 6, 16726, 30, 1, {1, 2, 3, 4, 5, 6, 7, 8}},
                   {1, 2, 0, 0, 4181, 64, 4 | 2, {0x00, 0x80, 0xFF, 0xFF, 9, 9, 9, 9}},
                   {2, 4, 0, 0, 8363, 64, 0, {1, 2, 3, 4}}, // AdLib
                   {1, 1000, 0, 0, 8363, 64, 0, {1, 2}}};   // cut short
    AnyModulePtr module = load_any(s3m.build());
    const auto sample = [&](int n) { return module->instruments[n].samples[0]; };
    const auto frames = [&](int n, int count) {
        return std::vector<int>(sample(n).data, sample(n).data + count);
    };
    EXPECT_EQ(frames(1, 5), (std::vector<int>{0, 0x7F00, -0x8000, 0x100, 0}));
    EXPECT_EQ(std::vector<int>({sample(1).volume, sample(1).loop_start, sample(1).relative_note,
                                sample(1).fine_tune}),
              (std::vector<int>{64, 4, 0, 0}));
    EXPECT_EQ(std::vector<int>({sample(2).loop_start, sample(2).loop_length, sample(2).data[6],
                                sample(2).relative_note}),
              (std::vector<int>{2, 4, sample(2).data[2], 12}));
    EXPECT_NEAR(sample(2).fine_tune, 0, 1);
    EXPECT_EQ(frames(3, 3), (std::vector<int>{0, 0x7FFF, 0})); // 16-bit stereo: the left half
    EXPECT_EQ(sample(3).relative_note, -12);
    EXPECT_EQ(sample(4).loop_start, 0);
    EXPECT_EQ(sample(5).loop_start, 2);
    s3m.sample_format = 1; // signed
    module = load_any(s3m.build());
    EXPECT_EQ(sample(1).data[0], -0x8000);
}

TEST(S3mLoader, LoadsOrRefusesAtEveryLengthAndFailsCleanlyWithoutMemory) {
    S3mBuilder s3m;
    s3m.samples = {{1, 40, 8, 40, 8363, 64, 1, Bytes(40, 0xC0)},
                   {1, 20, 0, 0, 9000, 64, 4, Bytes(40, 0x30)}};
    s3m.patterns = {{{0, 0, 0x40, 1, 40, 4, 0x10}, {1, 1, 0x52, 2, -1, 17, 0x23}}, {}};
    s3m.orders = {0, 1, 254, 0};
    const Bytes full = s3m.build();
    std::vector<std::int32_t> mixed(int_mix_buffer_values);
    for (std::size_t length = 0; length <= full.size(); ++length) {
        std::string message;
        LoadedFormat format{};
        AnyModulePtr module =
            load_any(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)),
                     &message, &format);
        ASSERT_EQ(!module, !message.empty()) << length;
        if (!module) continue;
        // Exact once the headers are whole; a cut header announces less.
        EXPECT_EQ(format.missing_bytes > 0, length < full.size()) << length;
        if (length >= full.size() - 80) {
            EXPECT_EQ(format.missing_bytes, full.size() - length);
        }
        Replay* replay = new_replay(module.get(), 48000, length % 2 == 1);
        for (int tick = 0; tick < 20; ++tick) mix_tick(replay, mixed.data());
        replay_dispose(replay);
    }

    expect_clean_failure_at_every_allocation(full);
}
