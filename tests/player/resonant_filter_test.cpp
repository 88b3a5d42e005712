// The resonant filter: its response to sines (cut above the cutoff, a peak
// at it with resonance), the macros' filter messages, and Zxx on a song: the
// filter turned on, kept at rest, and off for a new note, where the voice
// then sounds exactly as unfiltered.
#include "player/midi_macros.h"
#include "player/resonant_filter.h"
#include "tests/player/it_builder.h"
#include "tests/player/rules_driver.h"
#include <cmath>
#include <numbers>

namespace {

// The filter's gain for a sine of `hertz` at 48 kHz, once it has settled.
double gain_db(std::int32_t cutoff, std::int32_t resonance, double hertz) {
    const FilterCoefficients filter = filter_coefficients(cutoff, resonance, 256, 48000);
    std::vector<std::int16_t> values(9600);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(std::lround(
            2000 * std::sin(2 * std::numbers::pi * hertz * static_cast<double>(i) / 48000)));
    FilterHistory history{};
    filter_kernel::filter_values(filter, history, values.data(), 9600);
    double power = 0;
    for (std::size_t i = 4800; i < values.size(); ++i) power += values[i] * values[i];
    return 10 * std::log10(power / 4800 / (2000.0 * 2000 / 2));
}

} // namespace

TEST(ResonantFilter, CutsAboveTheCutoffAndPeaksThereWithResonance) {
    // Cutoff 64 is about 830 Hz.
    EXPECT_NEAR(gain_db(64, 0, 100), 0, 0.5);
    EXPECT_LT(gain_db(64, 0, 4000), -25);
    // Half the cutoff, an octave lower: 12 dB less from two poles.
    EXPECT_LT(gain_db(32, 0, 4000), gain_db(64, 0, 4000) - 12);
    EXPECT_NEAR(gain_db(64, 0, 830), 0, 1.5);
    EXPECT_GT(gain_db(64, 127, 830), 15);
}

TEST(ResonantFilter, MacrosSetCutoffAndResonanceFromTheirFilterMessages) {
    const auto run = [](const char* macro, MacroValues values) {
        const MacroFilter f = macro_filter(macro, 32, values);
        return std::vector<int>{f.cutoff, f.resonance};
    };
    EXPECT_EQ(run("F0F000z", {0x30, 0, 0}), (std::vector<int>{0x30, -1}));
    // Letters stand for whole bytes, even the messages' own.
    EXPECT_EQ(run("zz0060 zz0160", {0xF0, 0, 0}), (std::vector<int>{0x60, 0x60}));
    EXPECT_EQ(run("F0 F0 01 v F0F000u", {0, 40, 20}), (std::vector<int>{20, 40}));
    // Values above 7F, other messages and a cut message set nothing.
    EXPECT_EQ(run("F0F00180 F0F00240 F0F000", {}), (std::vector<int>{-1, -1}));
}

TEST(ResonantFilter, ZxxFiltersUntilANewNoteFindsTheFilterAtRest) {
    ItBuilder b;
    std::vector<std::uint8_t> square(64);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = i < 32 ? 0x60 : 0xA0;
    auto& sample = b.add_sample(square, 1 | 16);
    sample[0x13] = 64;
    ItBuilder::put32(sample, 0x38, 64);
    ItBuilder::put32(sample, 0x3C, 8363);
    // Z40 beside a note, Z7F alone, a note beside Z7F, then Z88 (resonance).
    b.patterns = {{0x81, 0x0B, 60, 1,  26,   0x40, 0,    0x81, 0x08, 26,   0x7F, 0, //
                   0x81, 0x09, 60, 26, 0x7F, 0,    0x81, 0x08, 26,   0x88, 0}};
    b.pattern_rows = {4};
    const auto bytes = b.build();
    RulesDriver filtered(bytes), plain(bytes, &PlayRules::midi_macros);
    const auto state = [&] {
        const Channel& c = filtered.channel();
        return std::vector<int>{c.filter_on, c.filter_cutoff, c.filter_resonance};
    };
    EXPECT_EQ(state(), (std::vector<int>{1, 64, 0}));
    filtered.render(6), plain.render(6);
    const FilterCoefficients at_64 = filtered.channel().filter;
    EXPECT_EQ(state(), (std::vector<int>{1, 127, 0}));
    EXPECT_EQ(filtered.channel().filter.first, at_64.first);
    filtered.render(6), plain.render(6);
    EXPECT_EQ(state(), (std::vector<int>{0, 127, 0}));
    // Past the first tick's crossfade the new note sounds unfiltered.
    const std::size_t from = 2 * filtered.render(6) + 128;
    plain.render(6);
    EXPECT_NE(filtered.frames[from - 1000], plain.frames[from - 1000]);
    EXPECT_TRUE(std::equal(filtered.frames.begin() + from, filtered.frames.end(),
                           plain.frames.begin() + from));
    filtered.ticks(1);
    EXPECT_EQ(state(), (std::vector<int>{1, 127, 64}));
}

TEST(ResonantFilter, InstrumentSetsTheFilterAndItsFilterEnvelopeOpensTheCutoff) {
    ItBuilder b;
    b.header[0x2C] |= 4; // instruments
    b.add_sample(std::vector<std::uint8_t>(64, 0x40), 1 | 16)[0x13] = 64;
    b.instruments.assign(1, std::vector<std::uint8_t>(554));
    std::vector<std::uint8_t>& instrument = b.instruments[0];
    for (int note = 0; note < 120; ++note) instrument[0x41 + 2 * note] = 1;
    instrument[0x3A] = 128 + 100;
    instrument[0x3B] = 128 + 20;
    // A filter envelope from -32 at tick 0 to 32 at tick 12.
    const std::uint8_t envelope[] = {1 | 128, 2, 0, 0, 0, 0, 0xE0, 0, 0, 32, 12, 0};
    std::copy(std::begin(envelope), std::end(envelope), instrument.begin() + 0x1D4);
    b.patterns = {{0x81, 0x03, 60, 1, 0}};
    b.pattern_rows = {1};
    RulesDriver d(b.build());
    EXPECT_EQ(d.channel().filter_cutoff, 100);
    EXPECT_EQ(d.channel().filter_resonance, 20);
    EXPECT_EQ(d.channel().filter_on, 1);
    const float closed = d.channel().filter.input;
    d.ticks(5);
    EXPECT_GT(d.channel().filter.input, 5 * closed);
    // Full cutoff, no resonance and the envelope at its top: the note plays unfiltered.
    instrument[0x3A] = 128 + 127, instrument[0x3B] = 128, instrument[0x1D4 + 6] = 32;
    EXPECT_EQ(RulesDriver(b.build()).channel().filter_on, 0);
}

TEST(ResonantFilter, MacroVolumesCountEveryVolumeOfTheNote) {
    // Half the sample's and half the channel's global volume: a quarter of 128.
    ItBuilder b;
    std::vector<std::uint8_t>& sample = b.add_sample(std::vector<std::uint8_t>(64, 0x40), 1 | 16);
    sample[0x11] = 32, sample[0x13] = 64, b.header[0x80] = 32;
    b.patterns = {{0x81, 0x03, 60, 1, 0, 0x81, 0x08, 26, 0, 0}};
    b.pattern_rows = {2};
    RulesDriver d(b.build());
    std::copy_n("F0F000u F0F001v", 16, d.module->midi_macros);
    d.ticks(6);
    EXPECT_EQ((std::vector{d.channel().filter_cutoff, d.channel().filter_resonance}),
              (std::vector{32, 32}));
}
