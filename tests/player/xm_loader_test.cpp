#include "player/load_data.h"
#include "player/mixer.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "player/xm_loader.h"
#include "tests/player/load_any.h"
#include "tests/player/xm_builder.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

struct ModuleDeleter {
    void operator()(Module* module) const { module_dispose(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

ModulePtr load(const std::vector<std::uint8_t>& bytes, std::string* message = nullptr,
               std::uint64_t* announced_length = nullptr) {
    char load_message[load_message_size] = {};
    std::uint64_t announced = 0;
    Module* module = xm_load(bytes.data(), bytes.size(), load_message, announced);
    if (message) *message = load_message;
    if (announced_length) *announced_length = announced;
    return ModulePtr(module);
}

std::vector<std::uint8_t> note_at(const Module& module, int pattern, int row, int channel) {
    const Pattern& p = module.patterns[pattern];
    const std::uint8_t* note = p.notes + (row * p.channel_count + channel) * note_size;
    return {note, note + note_size};
}

// Two instruments: the first with two samples, a key map, both envelopes
// and auto-vibrato; the second without samples.
XmBuilder two_instruments() {
    XmBuilder b;
    b.add_pattern(8);
    XmInstrumentSpec ins;
    ins.name = "lead";
    XmSampleSpec low;
    low.name = "low";
    low.frames = {0, 256, 512, 768};
    low.volume = 80;
    low.fine_tune = -16;
    low.relative_note = 12;
    low.panning = 255;
    XmSampleSpec high;
    high.sixteen_bit = true;
    high.frames = {-32768, 32767, 1000, -1000, 5, 6};
    high.loop_type = 2;
    high.loop_start = 1;
    high.loop_length = 4;
    ins.samples = {low, high};
    for (int key = 48; key < 96; ++key) ins.key_map[key] = key < 90 ? 1 : 7;
    ins.volume.points = {{0, 64}, {10, 32}, {20, 80}, {15, 0}}; // the last is out of order
    ins.volume.type = 7;
    ins.volume.sustain = 1;
    ins.volume.loop_start = 0;
    ins.volume.loop_end = 2;
    ins.panning.points = {{5, 0}, {8, 64}};
    ins.panning.type = 3;
    ins.panning.sustain = 2; // past the points
    ins.vibrato_type = 2;
    ins.vibrato_sweep = 3;
    ins.vibrato_depth = 4;
    ins.vibrato_rate = 5;
    ins.fadeout = 0x200;
    b.instruments = {ins, XmInstrumentSpec{}};
    return b;
}

} // namespace

TEST(XmLoader, ReadsTheHeader) {
    XmBuilder b;
    b.title = "tune\x01";
    b.channels = 12;
    b.flags = 0;
    b.speed = 40;
    b.tempo = 20;
    b.orders = {1, 0, 3};
    b.restart = 2;
    b.add_pattern(64);
    b.add_pattern(32);
    ModulePtr module = load(b.build());
    ASSERT_TRUE(module);
    EXPECT_STREQ(module->title, "tune                ");
    EXPECT_EQ(module->channel_count, 12);
    EXPECT_EQ(module->song_length, 3);
    EXPECT_EQ(module->restart_position, 2);
    // Entry 3 names a pattern the file lacks: an empty one of 64 rows.
    ASSERT_EQ(module->pattern_count, 4);
    EXPECT_EQ(module->patterns[3].row_count, 64);
    EXPECT_EQ(module->patterns[3].channel_count, 0);
    EXPECT_EQ(module->patterns[1].row_count, 32);
    EXPECT_EQ(module->linear_pitch, 0);
    EXPECT_EQ(module->initial_speed, 31);
    EXPECT_EQ(module->initial_tempo, 32);
    EXPECT_EQ(module->reference_rate, 8363);
    // 36 * 36 * 12 <= 128 * 128 < 37 * 37 * 12 for twelve channels, and
    // FastTracker 2 mixes at three quarters of that.
    EXPECT_EQ(module->mix_gain, 36 * 3 / 4);
    EXPECT_EQ(module->channel_panning[11], 128);
    EXPECT_EQ(mix_gain_for_channels(4), 64);
    EXPECT_EQ(mix_gain_for_channels(32), 22);
}

TEST(XmLoader, RefusesWhatItCannotPlayAndLeavesNothing) {
    const struct {
        int version, channels;
        const char* message;
    } cases[] = {{0x0103, 4, "XM format version must be 0x0104!"},
                 {0x0104, 0, "XM channel count must be 1..32!"},
                 {0x0104, 33, "XM channel count must be 1..32!"}};
    for (const auto& refused : cases) {
        XmBuilder builder;
        builder.version = static_cast<std::uint16_t>(refused.version);
        builder.channels = static_cast<std::uint16_t>(refused.channels);
        std::string message;
        EXPECT_FALSE(load(builder.build(), &message));
        EXPECT_EQ(message, refused.message);
    }
    std::vector<std::uint8_t> bytes = XmBuilder{}.build();
    bytes[0] = 'e';
    std::string message;
    EXPECT_FALSE(load(bytes, &message));
    EXPECT_EQ(message, "Not an XM file!");
    bytes = two_instruments().build();
    bytes[336 + 9 + 8 * 4 + 27] = 17; // the first instrument's sample count
    EXPECT_FALSE(load(bytes, &message));
    EXPECT_EQ(message, "XM instrument has more than 16 samples!");
}

TEST(XmLoader, UnpacksNotesAsTheReplayReadsThem) {
    XmBuilder b;
    b.add_pattern(4);
    b.set_note(0, 0, 0, 49, 1, 0x40, 0x0E, 0x91); // every field: stored unpacked
    b.set_note(0, 0, 3, 0, 2, 0, 0x21, 0x15);     // some fields: packed with a mask
    b.set_note(0, 1, 1, 97, 0, 0xC4, 0x14, 0);    // key-off
    b.set_note(0, 2, 2, 98, 1, 0, 0x22, 0x33);    // no such key, no such effect
    ModulePtr module = load(b.build());
    ASSERT_TRUE(module);
    EXPECT_EQ(note_at(*module, 0, 0, 0), (std::vector<std::uint8_t>{49, 1, 0x40, 0x0E, 0x91}));
    EXPECT_EQ(note_at(*module, 0, 0, 3), (std::vector<std::uint8_t>{0, 2, 0, 0x21, 0x15}));
    EXPECT_EQ(note_at(*module, 0, 1, 1),
              (std::vector<std::uint8_t>{key_note_off, 0, 0xC4, 0x14, 0}));
    EXPECT_EQ(note_at(*module, 0, 2, 2), (std::vector<std::uint8_t>{0, 1, 0, 0, 0}));
    EXPECT_EQ(note_at(*module, 0, 3, 3), (std::vector<std::uint8_t>{0, 0, 0, 0, 0}));
}

TEST(XmLoader, ReadsInstrumentsSamplesAndEnvelopes) {
    ModulePtr module = load(two_instruments().build());
    ASSERT_TRUE(module);
    ASSERT_EQ(module->instrument_count, 2);
    const Instrument& ins = module->instruments[1];
    EXPECT_STREQ(ins.name, "lead                  ");
    // Keys 91..96 map to sample 7, which is missing: a silent third sample.
    ASSERT_EQ(ins.sample_count, 3);
    EXPECT_EQ(ins.key_samples[48], 0);
    EXPECT_EQ(ins.key_samples[49], 1);
    EXPECT_EQ(ins.key_samples[91], 2);
    EXPECT_EQ(ins.samples[2].loop_start + ins.samples[2].loop_length, 0);

    const Sample& low = ins.samples[0];
    EXPECT_STREQ(low.name, "low                   ");
    EXPECT_EQ(low.volume, 64);
    EXPECT_EQ(low.fine_tune, -16);
    EXPECT_EQ(low.relative_note, 12);
    EXPECT_EQ(low.panning, 256);
    EXPECT_EQ(std::vector<std::int16_t>(low.data, low.data + 5),
              (std::vector<std::int16_t>{0, 256, 512, 768, 0}));
    const Sample& high = ins.samples[1]; // 16-bit ping-pong over frames 1..4
    EXPECT_EQ(high.loop_start, 1);
    EXPECT_EQ(high.loop_length, 8);
    EXPECT_EQ(
        std::vector<std::int16_t>(high.data, high.data + 10),
        (std::vector<std::int16_t>{-32768, 32767, 1000, -1000, 5, 5, -1000, 1000, 32767, 32767}));

    // Volume points stop where the ticks stop rising; values are at most 64.
    const Envelope& volume = ins.volume_envelope;
    EXPECT_TRUE(volume.active && volume.has_sustain && volume.has_loop);
    ASSERT_EQ(volume.point_count, 3);
    EXPECT_EQ(volume.point_ticks[2], 20);
    EXPECT_EQ(volume.point_values[2], 64);
    EXPECT_EQ(volume.sustain_at, 10);
    EXPECT_EQ(volume.loop_from, 0);
    EXPECT_EQ(volume.loop_to, 20);
    // Panning starts at tick 0 whatever the file says; its sustain point
    // lies past its points, so it has none.
    const Envelope& panning = ins.panning_envelope;
    EXPECT_TRUE(panning.active);
    EXPECT_FALSE(panning.has_sustain || panning.has_loop);
    EXPECT_EQ(panning.point_ticks[0], 0);
    EXPECT_EQ(panning.point_ticks[1], 8);
    EXPECT_EQ(ins.vibrato_type, 2);
    EXPECT_EQ(ins.vibrato_sweep, 3);
    EXPECT_EQ(ins.vibrato_depth, 4);
    EXPECT_EQ(ins.vibrato_rate, 5);
    EXPECT_EQ(ins.fadeout, 0x200);

    // An instrument without samples plays one silent sample.
    const Instrument& empty = module->instruments[2];
    ASSERT_EQ(empty.sample_count, 1);
    EXPECT_FALSE(empty.volume_envelope.active);
    EXPECT_EQ(empty.samples[0].data[0], 0);
}

TEST(XmLoader, FailsCleanlyWhenAnyAllocationFails) {
    // Record, order list, panning, patterns, notes, instruments, instrument
    // 0's sample and its data, then per instrument its samples and their data.
    EXPECT_EQ(expect_clean_failure_at_every_allocation(two_instruments().build()),
              1u + 1 + 1 + 1 + 1 + 1 + 1 + 1 + (1 + 3) + (1 + 1));
}

TEST(XmLoader, ReadsAnInstrumentHeaderAsLongAsItsFieldsWhateverItsSizeSays) {
    XmBuilder b;
    b.add_pattern(4);
    for (std::uint8_t volume : {20, 40}) {
        XmInstrumentSpec ins;
        XmSampleSpec sample;
        sample.frames = {1000, 2000};
        sample.volume = volume;
        ins.samples = {sample};
        b.instruments.push_back(ins);
    }
    std::vector<std::uint8_t> bytes = b.build();
    XmBuilder without_instruments = b;
    without_instruments.instruments.clear();
    const std::size_t first = without_instruments.build().size();
    // The first header says it has size 0 and ends right after its fade-out.
    const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(first);
    std::fill_n(at, 4, 0);
    bytes.erase(at + 241, at + 263);
    ModulePtr module = load(bytes);
    ASSERT_TRUE(module);
    // It still holds its sample, which follows the fields read, and the
    // second instrument is found where it lies.
    EXPECT_EQ(module->instruments[1].samples[0].volume, 20);
    EXPECT_EQ(module->instruments[2].samples[0].volume, 40);
}

TEST(XmLoader, LoadsACutFileAsIfZeroFilledAndPlaysIt) {
    XmBuilder b = two_instruments();
    b.set_note(0, 0, 0, 49, 1, 0, 0x0A, 0x21);
    b.set_note(0, 1, 1, 61, 1);
    b.set_note(0, 2, 2, 95, 2, 0x30);
    const std::vector<std::uint8_t> full = b.build();
    std::vector<std::int32_t> mixed(int_mix_buffer_values);
    for (std::size_t length = 0; length <= full.size(); ++length) {
        // Exactly `length` bytes, so that the address sanitizer sees any
        // read past the end.
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<long>(length));
        std::string message;
        std::uint64_t announced = 0;
        ModulePtr module = load(cut, &message, &announced);
        // Once the last instrument's header is there, the whole length is known.
        if (length >= full.size() - 24) {
            EXPECT_EQ(announced, full.size()) << length;
        }
        if (!module) {
            // Only a header cut before its channel count is refused.
            EXPECT_LT(length, 70u);
            EXPECT_FALSE(message.empty());
            continue;
        }
        std::vector<std::uint8_t> padded = cut;
        padded.resize(full.size(), 0);
        ModulePtr zero_filled = load(padded);
        ASSERT_TRUE(zero_filled) << length;
        ASSERT_EQ(module->pattern_count, zero_filled->pattern_count);
        const Pattern& a = module->patterns[0];
        const Pattern& z = zero_filled->patterns[0];
        if (a.channel_count > 0 && z.channel_count > 0) {
            ASSERT_EQ(std::memcmp(a.notes, z.notes, 8 * 4 * note_size), 0) << length;
        }
        ASSERT_EQ(module->instrument_count, zero_filled->instrument_count);
        for (bool interpolate : {false, true}) {
            Replay* replay = new_replay(module.get(), 48000, interpolate);
            ASSERT_TRUE(replay);
            for (int tick = 0; tick < 8; ++tick) mix_tick(replay, mixed.data());
            replay_dispose(replay);
        }
        if (module->instrument_count > 0) {
            const Instrument& x = module->instruments[1];
            const Instrument& y = zero_filled->instruments[1];
            ASSERT_EQ(x.sample_count, y.sample_count) << length;
            ASSERT_EQ(std::memcmp(&x.volume_envelope, &y.volume_envelope, sizeof(Envelope)), 0)
                << length;
            ASSERT_EQ(x.samples[0].volume, y.samples[0].volume) << length;
        }
    }
}
