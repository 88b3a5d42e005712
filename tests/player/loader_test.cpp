#include "base/alloc_faults.h"
#include "player/fixed_point.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "tests/player/mod_builder.h"
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

struct ModuleDeleter {
    void operator()(Module* module) const { module_dispose(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

ModulePtr load(const std::vector<std::uint8_t>& bytes, std::string* message = nullptr) {
    char load_message[load_message_size] = {};
    Module* module = module_load(bytes.data(), bytes.size(), load_message);
    if (message) *message = load_message;
    return ModulePtr(module);
}

const std::uint8_t* note_at(const Module& module, int pattern, int row, int channel) {
    const Pattern& p = module.patterns[pattern];
    return p.notes + (row * p.channel_count + channel) * note_size;
}

// Loads a one-pattern module whose first cell holds the given MOD effect.
std::pair<int, int> stored_effect(int effect, int param) {
    ModBuilder builder;
    builder.set_note(0, 0, 0, 428, 1, effect, param);
    ModulePtr module = load(builder.build());
    const std::uint8_t* note = note_at(*module, 0, 0, 0);
    return {note[3], note[4]};
}

const Sample& first_sample(const Module& module, int instrument) {
    return module.instruments[instrument].samples[0];
}

} // namespace

TEST(PeriodToKey, MatchesTheCheckValues) {
    const std::pair<int, int> checks[] = {{1712, 25}, {1616, 26}, {907, 36}, {856, 37},
                                          {453, 48},  {428, 49},  {226, 60}, {214, 61},
                                          {113, 72},  {108, 73},  {57, 84},  {28, 96}};
    for (auto [period, key] : checks) EXPECT_EQ(period_to_key(period), key) << period;
}

TEST(PeriodToKey, GivesNoKeyOutsideTheAmigaRange) {
    EXPECT_EQ(period_to_key(27), 0);
    EXPECT_EQ(period_to_key(1713), 0);
    EXPECT_EQ(period_to_key(0), 0);
    EXPECT_EQ(period_to_key(4095), 0);
}

TEST(PeriodToKey, RoundsToTheNearestKeyForEveryPeriod) {
    for (int period = 28; period <= 1712; ++period) {
        const double a = std::floor(period * 131072.0 / 29021.0);
        const int expected = static_cast<int>(std::floor(12 * (15 - std::log2(a)) + 0.5));
        ASSERT_EQ(period_to_key(period), expected) << period;
    }
    EXPECT_EQ(period_to_key(417), 49);
    EXPECT_EQ(period_to_key(440), 49);
    EXPECT_EQ(period_to_key(416), 50);
    EXPECT_EQ(period_to_key(441), 48);
    EXPECT_EQ(period_to_key(1664), 25);
    EXPECT_EQ(period_to_key(1663), 26);
    EXPECT_EQ(period_to_key(29), 96);
    EXPECT_EQ(period_to_key(30), 95);
}

TEST(ModLoader, BuildsAFourChannelSongWithASilentInstrumentZero) {
    ModBuilder builder;
    builder.set_orders({0, 1, 0});
    ModulePtr module = load(builder.build());
    ASSERT_TRUE(module);
    EXPECT_EQ(module->channel_count, 4);
    EXPECT_EQ(module->pattern_count, 2);
    EXPECT_EQ(module->song_length, 3);
    const std::uint8_t panning[] = {51, 204, 204, 51};
    EXPECT_EQ(std::memcmp(module->channel_panning, panning, 4), 0);
    EXPECT_EQ(module->patterns[1].row_count, 64);
    const Instrument& empty = module->instruments[0];
    EXPECT_EQ(empty.sample_count, 1);
    ASSERT_NE(empty.samples[0].data, nullptr); // like every sample, one element past its end
    EXPECT_EQ(empty.samples[0].data[0], 0);
    EXPECT_EQ(empty.samples[0].loop_start + empty.samples[0].loop_length, 0);
}

TEST(ModLoader, CountsPatternsFromTheWholeOrderList) {
    ModBuilder builder;
    builder.set_orders({0, 1});
    builder.order_list[40] = 0x85; // beyond the song length, top bit ignored
    builder.set_note(5, 63, 3, 214, 2, 0xC, 0x20);
    ModulePtr module = load(builder.build());
    EXPECT_EQ(module->pattern_count, 6);
    EXPECT_EQ(module->order_list[40], 5);
    const std::uint8_t* note = note_at(*module, 5, 63, 3);
    EXPECT_EQ(note[0], 61);
    EXPECT_EQ(note[1], 2);
    EXPECT_EQ(note[3], 0xC);
    EXPECT_EQ(note[4], 0x20);
}

TEST(ModLoader, DecodesNoteCells) {
    ModBuilder builder;
    builder.set_note(0, 0, 0, 428, 0x1F, 0xF, 0x7D);
    builder.set_note(0, 1, 2, 1713, 0x10, 0, 0);
    builder.set_note(0, 2, 1, 0, 3, 0, 0);
    ModulePtr module = load(builder.build());
    const std::uint8_t* note = note_at(*module, 0, 0, 0);
    EXPECT_EQ(note[0], 49);
    EXPECT_EQ(note[1], 0x1F); // from b0 = 0x11 and b2 = 0xFF
    EXPECT_EQ(note[2], 0);
    EXPECT_EQ(note[3], 0xF);
    EXPECT_EQ(note[4], 0x7D);
    EXPECT_EQ(note_at(*module, 0, 1, 2)[0], 0); // out-of-range period
    EXPECT_EQ(note_at(*module, 0, 1, 2)[1], 0x10);
    EXPECT_EQ(note_at(*module, 0, 2, 1)[0], 0);
    EXPECT_EQ(note_at(*module, 0, 2, 1)[1], 3);
}

TEST(ModLoader, NormalisesEffectCodes) {
    using Effect = std::pair<int, int>;
    EXPECT_EQ(stored_effect(0x1, 0), Effect(0, 0));
    EXPECT_EQ(stored_effect(0x2, 0), Effect(0, 0));
    EXPECT_EQ(stored_effect(0xA, 0), Effect(0, 0));
    EXPECT_EQ(stored_effect(0xA, 0x01), Effect(0xA, 0x01));
    EXPECT_EQ(stored_effect(0x5, 0), Effect(0x3, 0));
    EXPECT_EQ(stored_effect(0x6, 0), Effect(0x4, 0));
    EXPECT_EQ(stored_effect(0x5, 0x23), Effect(0x5, 0x23));
    EXPECT_EQ(stored_effect(0x6, 0x23), Effect(0x6, 0x23));
    EXPECT_EQ(stored_effect(0x8, 0x80), Effect(0, 0));
    EXPECT_EQ(stored_effect(0x8, 0), Effect(0, 0));
    EXPECT_EQ(stored_effect(0xC, 0), Effect(0xC, 0));
    EXPECT_EQ(stored_effect(0xE, 0xD3), Effect(0xE, 0xD3));
}

TEST(ModLoader, ReadsFineTuneAndVolumeBytes) {
    ModBuilder builder;
    const std::uint8_t fine[] = {0x0F, 0x07, 0xF8, 0x00};
    const std::uint8_t volume[] = {0x50, 0x90, 0x40, 0x3F};
    for (int n = 1; n <= 4; ++n) {
        builder.sample(n).fine_tune = fine[n - 1];
        builder.sample(n).volume = volume[n - 1];
    }
    ModulePtr module = load(builder.build());
    EXPECT_EQ(first_sample(*module, 1).fine_tune, -16);
    EXPECT_EQ(first_sample(*module, 2).fine_tune, 112);
    EXPECT_EQ(first_sample(*module, 3).fine_tune, -128);
    EXPECT_EQ(first_sample(*module, 4).fine_tune, 0);
    EXPECT_EQ(first_sample(*module, 1).volume, 64);
    EXPECT_EQ(first_sample(*module, 2).volume, 16);
    EXPECT_EQ(first_sample(*module, 3).volume, 64);
    EXPECT_EQ(first_sample(*module, 4).volume, 63);
}

TEST(ModLoader, RepairsLoopsThatRunPastTheSample) {
    ModBuilder builder;
    auto set = [&](int n, int length_words, int start_word, int loop_words) {
        builder.sample(n).length_words = static_cast<std::uint16_t>(length_words);
        builder.sample(n).loop_start_words = static_cast<std::uint16_t>(start_word);
        builder.sample(n).loop_length_words = static_cast<std::uint16_t>(loop_words);
    };
    set(1, 500, 400, 200); // start given in frames: 400 + 400 fits
    set(2, 500, 700, 200); // nothing fits: what is left is negative
    set(3, 500, 100, 1);   // the usual no-loop marker
    set(4, 500, 100, 200); // a proper loop
    set(5, 500, 300, 400); // 600 + 800 and 300 + 800 too long: cut at the end
    set(6, 500, 499, 300); // cut to 2 frames: too short to loop
    ModulePtr module = load(builder.build());
    auto loop = [&](int n) {
        const Sample& s = first_sample(*module, n);
        return std::pair<int, int>(s.loop_start, s.loop_length);
    };
    using Loop = std::pair<int, int>;
    EXPECT_EQ(loop(1), Loop(400, 400));
    EXPECT_EQ(loop(2), Loop(1000, 0));
    EXPECT_EQ(loop(3), Loop(1000, 0));
    EXPECT_EQ(loop(4), Loop(200, 400));
    EXPECT_EQ(loop(5), Loop(600, 400));
    EXPECT_EQ(loop(6), Loop(1000, 0));
}

TEST(ModLoader, WidensSampleDataAndRepeatsTheLoopStartPastTheEnd) {
    ModBuilder builder;
    builder.set_orders({0, 1});
    builder.sample(1).length_words = 2;
    builder.sample(1).data = {-128, 127, 1, -1};
    builder.sample(2).length_words = 4;
    builder.sample(2).loop_start_words = 1;
    builder.sample(2).loop_length_words = 2;
    builder.sample(2).data = {0, 0, 5, 6, 7, 8, 9, 10};
    ModulePtr module = load(builder.build());
    const Sample& once = first_sample(*module, 1);
    EXPECT_EQ(once.loop_start, 4);
    EXPECT_EQ(once.loop_length, 0);
    const std::int16_t once_data[] = {-32768, 32512, 256, -256, 0};
    EXPECT_EQ(std::memcmp(once.data, once_data, sizeof once_data), 0);
    // Sample 2 starts right after sample 1 in the file.
    const Sample& looped = first_sample(*module, 2);
    EXPECT_EQ(looped.loop_start, 2);
    EXPECT_EQ(looped.loop_length, 4);
    EXPECT_EQ(looped.data[1], 0);
    EXPECT_EQ(looped.data[2], 5 * 256);
    EXPECT_EQ(looped.data[7], 10 * 256);
    EXPECT_EQ(looped.data[6], looped.data[2]); // the extra element at the loop end
}

TEST(ModLoader, GivesAnEmptySampleOneSilentElement) {
    ModBuilder builder;
    builder.sample(7).loop_length_words = 4;
    ModulePtr module = load(builder.build());
    const Sample& empty = first_sample(*module, 7);
    EXPECT_EQ(empty.loop_start, 0);
    EXPECT_EQ(empty.loop_length, 0);
    ASSERT_NE(empty.data, nullptr);
    EXPECT_EQ(empty.data[0], 0);
}

TEST(ModLoader, LoadsTruncatedDataWithSilentTails) {
    ModBuilder builder;
    builder.sample(1).length_words = 8;
    builder.sample(1).data = std::vector<std::int8_t>(16, 3);
    builder.sample(31).length_words = 10;
    builder.sample(31).data = std::vector<std::int8_t>(20, 9);
    std::vector<std::uint8_t> bytes = builder.build();
    bytes.resize(bytes.size() - 10);
    ModulePtr module = load(bytes);
    ASSERT_TRUE(module);
    EXPECT_EQ(first_sample(*module, 1).data[15], 3 * 256);
    const Sample& last = first_sample(*module, 31);
    EXPECT_EQ(last.data[9], 9 * 256);
    for (int i = 10; i <= 20; ++i) EXPECT_EQ(last.data[i], 0) << i;

    // Even a few bytes are a module: everything missing reads as zero.
    const std::vector<std::uint8_t> stub = {'t', 'i', 'n', 'y'};
    ModulePtr tiny = load(stub);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->pattern_count, 1);
    EXPECT_EQ(note_at(*tiny, 0, 10, 2)[0], 0);
    ModulePtr nothing = load({});
    EXPECT_TRUE(nothing);
}

TEST(ModLoader, ConvertsNamesToPrintableText) {
    ModBuilder builder;
    builder.title = std::string("a\0b\x1f\xE9 ", 6) + "z";
    builder.sample(3).name = "Bass\tdrum";
    ModulePtr module = load(builder.build());
    const std::string title = std::string("a b \xE9 z") + std::string(13, ' ');
    EXPECT_EQ(std::string(module->title, 32), title + std::string(12, '\0'));
    EXPECT_EQ(std::string(module->instruments[3].name), "Bass drum             ");
    EXPECT_EQ(module->instruments[3].samples[0].name[0], '\0');
}

TEST(ModLoader, KeepsTheSongLengthWithinTheOrderList) {
    ModBuilder builder;
    builder.song_length = 200;
    EXPECT_EQ(load(builder.build())->song_length, 128);
    builder.song_length = 128;
    EXPECT_EQ(load(builder.build())->song_length, 128);
    builder.song_length = 0;
    EXPECT_EQ(load(builder.build())->song_length, 1);
}

TEST(ModLoader, RefusesXmAndS3mWithTheirMessages) {
    ModBuilder builder;
    std::vector<std::uint8_t> xm = builder.build();
    std::memcpy(xm.data(), "Extended Module:", 16);
    std::string message;
    EXPECT_FALSE(load(xm, &message));
    EXPECT_EQ(message, "XM format version must be 0x0104!");

    std::vector<std::uint8_t> s3m = builder.build();
    std::memcpy(s3m.data() + 44, "SCRM", 4);
    EXPECT_FALSE(load(s3m, &message));
    EXPECT_EQ(message, "Not an S3M file!");

    // The signature is read with the name conversion: a NUL matches a space.
    std::memcpy(xm.data(), "Extended\0Module:", 16);
    EXPECT_FALSE(load(xm, &message));
    EXPECT_EQ(message, "XM format version must be 0x0104!");
}

TEST(ModLoader, FailsCleanlyWhenAnyAllocationFails) {
    ModBuilder builder;
    builder.set_orders({0, 2, 1});
    builder.sample(1).length_words = 4;
    const std::vector<std::uint8_t> bytes = builder.build();
    const std::uint64_t before = mem_allocation_count();
    ASSERT_TRUE(load(bytes));
    const std::uint64_t needed = mem_allocation_count() - before;
    // Record, order list, panning, patterns + 3 notes, instruments, 32 samples, 32 data.
    EXPECT_EQ(needed, 1u + 1 + 1 + 4 + 1 + 32 + 32);
    for (std::uint64_t n = 1; n <= needed; ++n) {
        mem_fail_nth_allocation(n);
        std::string message;
        EXPECT_FALSE(load(bytes, &message)) << n;
        EXPECT_EQ(message, "") << n;
    }
    mem_fail_nth_allocation(0);

    std::vector<std::uint8_t> xm = bytes;
    std::memcpy(xm.data(), "Extended Module:", 16);
    mem_fail_nth_allocation(1);
    std::string message;
    EXPECT_FALSE(load(xm, &message));
    EXPECT_EQ(message, "");
    mem_fail_nth_allocation(0);
}
