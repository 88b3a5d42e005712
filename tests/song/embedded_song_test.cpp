// The song the program carries, as the program's own player sees it: it
// loads cleanly, keeps the show's timing, and sits at a sane level.
#include "player/embedded_song.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "tools/songgen/mod_writer.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <vector>

namespace {

constexpr int ticks_per_entry = 64 * 6;
constexpr int song_entries = 8;

struct LoadedSong {
    char message[load_message_size] = {};
    Module* module = module_load(embedded_song, embedded_song_length, message);
    ~LoadedSong() { module_dispose(module); }
};

const std::uint8_t* note_at(const Pattern& pattern, int row, int channel) {
    return pattern.notes + (row * pattern.channel_count + channel) * note_size;
}

int header_word(std::size_t offset) {
    return embedded_song[offset] * 256 + embedded_song[offset + 1];
}

} // namespace

TEST(EmbeddedSong, IsTheCommittedModuleByteForByte) {
    std::ifstream file("player/song.mod", std::ios::binary);
    std::vector<std::uint8_t> committed((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(embedded_song_length, committed.size());
    EXPECT_TRUE(std::equal(committed.begin(), committed.end(), embedded_song));
}

TEST(EmbeddedSong, IsAnOrdinaryFourChannelModuleOfEightEntriesOverSixPatterns) {
    LoadedSong song;
    ASSERT_NE(song.module, nullptr);
    EXPECT_STREQ(song.message, "");
    EXPECT_EQ(song.module->channel_count, 4);
    EXPECT_EQ(song.module->song_length, song_entries);
    EXPECT_EQ(song.module->pattern_count, 6);
    EXPECT_LE(embedded_song_length, 12u * 1024u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(embedded_song + 1080), 4), "M.K.");
    EXPECT_EQ(embedded_song[951], 127);

    // The sample data fills the file exactly; every header field is one that
    // other trackers accept.
    std::size_t sample_bytes = 0;
    for (int n = 0; n < score_sample_slots; ++n) {
        const std::size_t header = 20 + 30 * n;
        const std::size_t length = 2u * header_word(header + 22);
        const std::size_t loop_start = 2u * header_word(header + 26);
        const std::size_t loop_length = 2u * header_word(header + 28);
        EXPECT_LE(embedded_song[header + 25], 64) << "sample " << n + 1;
        EXPECT_EQ(embedded_song[header + 24] & 0xF0, 0) << "sample " << n + 1;
        EXPECT_GE(loop_length, 2u) << "sample " << n + 1;
        if (length > 0) {
            EXPECT_LE(loop_start + loop_length, length) << "sample " << n + 1;
        }
        if (loop_length == 2 && length > 0) {
            // Classic trackers keep replaying the first word of a one-shot.
            const std::size_t data = 1084 + 6 * 1024 + sample_bytes;
            EXPECT_EQ(embedded_song[data] | embedded_song[data + 1], 0) << "sample " << n + 1;
        }
        sample_bytes += length;
    }
    EXPECT_EQ(1084 + 6 * 1024 + sample_bytes, embedded_song_length);
}

TEST(EmbeddedSong, NotesStayInTheClassicThreeOctavesAndEveryNoteNameLoadsAsItsKey) {
    LoadedSong song;
    ASSERT_NE(song.module, nullptr);
    for (int p = 0; p < song.module->pattern_count; ++p) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < 4; ++channel) {
                int key = note_at(song.module->patterns[p], row, channel)[0];
                if (key != 0) {
                    EXPECT_TRUE(key >= 37 && key <= 72) << p << ":" << row;
                }
            }
        }
    }

    // C-1 .. B-3 written by the generator load as 36 successive keys.
    SongScore score{};
    score.title = "scale";
    score.order = {0};
    score.patterns.resize(1);
    const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                             "F#", "G-", "G#", "A-", "A#", "B-"};
    for (int n = 0; n < 36; ++n) {
        std::string name = std::string(names[n % 12]) + char('1' + n / 12);
        score.patterns[0][n * 4].period = static_cast<std::uint16_t>(note_period(name));
    }
    std::vector<std::uint8_t> mod = write_mod(score);
    char message[load_message_size] = {};
    Module* scale = module_load(mod.data(), mod.size(), message);
    ASSERT_NE(scale, nullptr);
    for (int n = 0; n < 36; ++n) EXPECT_EQ(note_at(scale->patterns[0], n, 0)[0], 37 + n) << n;
    module_dispose(scale);
}

TEST(EmbeddedSong, KeepsSpeedAndPositionToItselfAndShowsOffThePlayer) {
    LoadedSong song;
    ASSERT_NE(song.module, nullptr);
    std::set<int> used; // MOD effects, with E commands as 0xE0 + their sub-command
    for (int p = 0; p < song.module->pattern_count; ++p) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < 4; ++channel) {
                const std::uint8_t* note = note_at(song.module->patterns[p], row, channel);
                int effect = note[3], param = note[4];
                EXPECT_TRUE(effect != 0x0B && effect != 0x0D && effect != 0x0F)
                    << "pattern " << p << " row " << row << " channel " << channel;
                if (effect == 0x0C) {
                    EXPECT_LE(param, 64);
                }
                if (effect == 0 && param == 0) continue;
                used.insert(effect == 0x0E ? 0xE0 + (param >> 4) : effect);
            }
        }
    }
    for (int effect : {0x0, 0x3, 0x4, 0xA, 0xC, 0xEC}) {
        EXPECT_TRUE(used.count(effect)) << "effect " << std::hex << effect << " unused";
    }
    EXPECT_TRUE(used.count(0x9) || used.count(0xE9));
}

TEST(EmbeddedSong, EntersEachEntryEvery384TicksAndWrapsToEntryZeroAfter3072) {
    LoadedSong song;
    ASSERT_NE(song.module, nullptr);
    Replay* replay = new_replay(song.module, 48000, false);
    ASSERT_NE(replay, nullptr);
    const std::uint32_t first_counter = replay->order_counter;
    for (int entry = 1; entry <= song_entries; ++entry) {
        for (int tick = 1; tick < ticks_per_entry; ++tick) advance_tick(replay);
        EXPECT_EQ(replay->order_counter, first_counter + entry - 1) << "entry " << entry;
        advance_tick(replay);
        EXPECT_EQ(replay->order_counter, first_counter + entry) << "entry " << entry;
        EXPECT_EQ(replay->order_index, entry % song_entries);
        EXPECT_EQ(replay->ticks_per_row, 6);
        EXPECT_EQ(replay->tempo_bpm, 125);
    }
    replay_dispose(replay);
}

TEST(EmbeddedSong, PlaysAtAModerateBalancedLevelWithoutSaturating) {
    LoadedSong song;
    ASSERT_NE(song.module, nullptr);
    Replay* replay = new_replay(song.module, 48000, false);
    ASSERT_NE(replay, nullptr);
    std::vector<std::int32_t> mix(int_mix_buffer_values);
    std::vector<std::int16_t> out(int_mix_buffer_values);
    double power[2] = {0, 0};
    std::size_t samples = 0, saturated = 0;
    for (int tick = 0; tick < ticks_per_entry * song_entries; ++tick) {
        std::int32_t frames = mix_tick(replay, mix.data());
        copy_saturated(mix.data(), out.data(), 2 * std::size_t(frames));
        for (std::int32_t i = 0; i < 2 * frames; ++i) {
            power[i & 1] += double(out[i]) * out[i];
            saturated += out[i] == 32767 || out[i] == -32768;
        }
        samples += 2 * std::size_t(frames);
    }
    replay_dispose(replay);

    ASSERT_EQ(samples, 2u * 960u * ticks_per_entry * song_entries);
    auto dbfs = [&](double sum, std::size_t count) {
        return 10 * std::log10(sum / double(count) / (32768.0 * 32768.0));
    };
    const double overall = dbfs(power[0] + power[1], samples);
    const double left = dbfs(power[0], samples / 2), right = dbfs(power[1], samples / 2);
    EXPECT_LT(double(saturated) / double(samples), 0.0001);
    EXPECT_GE(overall, -20.0);
    EXPECT_LE(overall, -12.0);
    EXPECT_LE(std::fabs(left - right), 3.0);
    RecordProperty("rms_dbfs", std::to_string(overall));
    std::printf("song level: %.2f dBFS RMS (left %.2f, right %.2f), %zu of %zu samples saturated\n",
                overall, left, right, saturated, samples);
}
