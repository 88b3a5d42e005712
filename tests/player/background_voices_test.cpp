#include "player/background_voices.h"
#include "tests/player/it_builder.h"
#include "tests/player/rules_driver.h"
#include <algorithm>

namespace {

struct Cell {
    std::uint8_t note = 0, instrument = 1, command = 0, info = 0, volume = 255;
};
using Actions = std::vector<std::array<std::uint8_t, 3>>; // NNA, DCT, DCA per instrument
using Notes = std::vector<std::array<int, 3>>;            // key, key down, fading

// One row a tick; instruments with a flat volume envelope, D-5 on sample 2
// and every other note on sample 1, both looped.
std::vector<std::uint8_t> song(const Actions& instruments, const std::vector<Cell>& rows) {
    ItBuilder b;
    b.header[0x2C] |= 4;
    b.header[0x32] = 1;
    for (int s = 0; s < 2; ++s) {
        auto& header = b.add_sample(std::vector<std::uint8_t>(64, 64), 1 | 16);
        header[0x11] = header[0x13] = 64;
        ItBuilder::put32(header, 0x38, 64);
    }
    for (const auto& actions : instruments) {
        auto& i = b.instruments.emplace_back(554);
        for (int note = 0; note < 120; ++note)
            i[0x40 + 2 * note] = note, i[0x41 + 2 * note] = note == 62 ? 2 : 1;
        std::copy(actions.begin(), actions.end(), i.begin() + 0x11);
        i[0x18] = 128, i[0x130] = 1, i[0x131] = 2, i[0x136] = i[0x139] = 64, i[0x13A] = 100;
    }
    std::vector<std::uint8_t> packed;
    for (const Cell& c : rows) {
        const int mask = (c.note ? 3 : 0) | (c.volume <= 64 ? 4 : 0) | (c.command ? 8 : 0);
        if (mask) packed.insert(packed.end(), {0x81, static_cast<std::uint8_t>(mask)});
        if (c.note) packed.insert(packed.end(), {c.note, c.instrument});
        if (c.volume <= 64) packed.push_back(c.volume);
        if (c.command) packed.insert(packed.end(), {c.command, c.info});
        packed.push_back(0);
    }
    b.patterns = {packed};
    b.pattern_rows = {static_cast<std::uint16_t>(rows.size())};
    return b.build();
}

// After the rows, the background notes that sound, by key; none without the rule.
void expect_background(const Actions& instruments, const std::vector<Cell>& rows,
                       const Notes& expected, int line = __builtin_LINE()) {
    const auto check = [&](RulesDriver& d, bool on) {
        d.ticks(static_cast<int>(rows.size()) - 1);
        Notes notes;
        for (int v = d.module->channel_count; v < d.replay->voice_count; ++v) {
            const Channel& c = d.replay->channels[v];
            if (c.amplitude > 0) notes.push_back({c.last_key, c.key_down, c.fading});
        }
        std::sort(notes.begin(), notes.end());
        EXPECT_EQ(notes, on ? expected : Notes{});
    };
    with_and_without(song(instruments, rows), &PlayRules::new_note_actions, check, __FILE__, line);
}

constexpr std::uint8_t c5 = 60, d5 = 62, e5 = 64, s = 19; // keys 61, 63, 65

} // namespace

TEST(BackgroundVoices, NewNoteActionsPastNoteCommandsAndDuplicateChecks) {
    expect_background({{0, 0, 0}}, {{c5}, {d5}}, {});
    expect_background({{1, 0, 0}}, {{c5}, {d5}}, {{61, 1, 0}});
    expect_background({{2, 0, 0}}, {{c5}, {d5}}, {{61, 0, 0}});
    expect_background({{3, 0, 0}}, {{c5}, {d5}}, {{61, 1, 1}});
    expect_background({{0, 0, 0}}, {{c5, 1, s, 0x74}, {d5}}, {{61, 1, 0}});
    expect_background({{1, 0, 0}}, {{c5, 1, s, 0x73}, {d5}}, {});
    expect_background({{1, 0, 0}}, {{c5}, {d5}, {0, 1, s, 0x70}}, {});
    expect_background({{1, 0, 0}}, {{c5}, {d5}, {0, 1, s, 0x71}}, {{61, 0, 0}});
    expect_background({{1, 0, 0}}, {{c5}, {d5}, {0, 1, s, 0x72}}, {{61, 1, 1}});
    // Duplicates by key (of the same instrument only), by sample, of the instrument.
    expect_background({{1, 1, 0}, {1, 1, 0}}, {{c5}, {d5}, {c5}}, {{63, 1, 0}});
    expect_background({{1, 1, 0}, {1, 1, 0}}, {{c5}, {d5}, {c5, 2}}, {{61, 1, 0}, {63, 1, 0}});
    expect_background({{1, 2, 1}}, {{c5}, {d5}, {e5}}, {{61, 0, 0}, {63, 1, 0}});
    expect_background({{1, 3, 2}}, {{c5}, {d5}, {e5}}, {{61, 1, 1}, {63, 1, 1}});
    // The note left behind is heard beside a silent new one.
    with_and_without(
        song({{1, 0, 0}}, {{c5}, {d5, 1, 0, 0, 0}}), &PlayRules::new_note_actions,
        [](RulesDriver& d, bool on) { EXPECT_EQ(d.frames[2 * (d.render(2) + 1024)] != 0, on); });
}

TEST(BackgroundVoices, AFullPoolGivesUpTheQuietestThenTheOldest) {
    std::vector<Cell> rows;
    rows.reserve(background_voice_count + 3);
    for (int r = 0; r < background_voice_count + 3; ++r)
        rows.push_back({static_cast<std::uint8_t>(24 + r), 1, 0, 0,
                        static_cast<std::uint8_t>(r == 1 ? 32 : 255)});
    RulesDriver d(song({{1, 0, 0}}, rows));
    d.ticks(static_cast<int>(rows.size()) - 1);
    std::vector<int> keys;
    for (int v = d.module->channel_count; v < d.replay->voice_count; ++v)
        keys.push_back(d.replay->channels[v].last_key);
    std::sort(keys.begin(), keys.end());
    // Rows 0 (the oldest) and 1 (the quietest) gave way to rows 64 and 65.
    EXPECT_EQ(keys.front(), 27);
    EXPECT_EQ(keys.back(), 90);
}

TEST(BackgroundVoices, EnvelopePausesHoldTheEnvelopeWhereItStands) {
    const auto bytes = song({{0, 0, 0}}, {{c5}, {0, 1, s, 0x77}, {}, {}, {0, 1, s, 0x78}});
    expect_rule(bytes, &PlayRules::envelope_pause_commands, &Channel::volume_envelope_tick,
                {{1, 1, 2}, {2, 1, 4}, {1, 2, 5}});
}
