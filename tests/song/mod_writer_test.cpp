// The generator's output: the MOD layout, the synthesised samples, and the
// committed song.mod being exactly what the committed source produces.
#include "tools/songgen/mod_writer.h"
#include "tools/songgen/sample_synth.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numeric>
#include <sstream>

namespace {

std::string read_file(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

int word_at(const std::vector<std::uint8_t>& mod, std::size_t offset) {
    return mod[offset] * 256 + mod[offset + 1];
}

SampleRecipe recipe(RecipeKind kind, int length, int level) {
    SampleRecipe r{};
    r.kind = kind;
    r.name = "x";
    r.length = length;
    r.level = level;
    r.volume = 64;
    r.curve = 1;
    return r;
}

} // namespace

TEST(ModWriter, GeneratedSongEqualsTheCommittedModule) {
    std::string text = read_file("player/song/song.txt");
    ASSERT_FALSE(text.empty()) << "tests run from the repository root";
    SongScore score;
    std::string error;
    ASSERT_TRUE(parse_song_score(text, score, error)) << error;
    std::vector<std::uint8_t> generated = write_mod(score);
    std::string committed = read_file("player/song.mod");
    ASSERT_EQ(generated.size(), committed.size());
    EXPECT_TRUE(std::equal(generated.begin(), generated.end(),
                           reinterpret_cast<const std::uint8_t*>(committed.data())))
        << "player/song.mod is stale: rebuild it with the song_mod target";
}

TEST(ModWriter, LaysOutHeaderOrderPatternsAndSamplesAsAnMKModule) {
    SongScore score{};
    score.title = "demo";
    score.samples[0] = recipe(RecipeKind::Saw, 32, 100);
    score.samples[0].name = "wave";
    score.samples[0].finetune = -1;
    score.samples[0].volume = 40;
    score.samples[16] = recipe(RecipeKind::Noise, 100, 100);
    score.samples[16].seed = 1;
    score.order = {1, 0, 1};
    score.patterns.resize(2);
    score.patterns[1][5 * score_channels + 2] = ScoreCell{254, 17, 0xE, 0xC3};

    std::vector<std::uint8_t> mod = write_mod(score);

    ASSERT_EQ(mod.size(), std::size_t(mod_header_size + 2 * mod_pattern_size + 32 + 100));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mod.data()), 5), std::string("demo\0", 5));
    const std::size_t wave = 20, noise = 20 + 16 * 30;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&mod[wave]), 4), "wave");
    EXPECT_EQ(word_at(mod, wave + 22), 16); // length in words
    EXPECT_EQ(mod[wave + 24], 0x0F);        // finetune -1 as a nibble
    EXPECT_EQ(mod[wave + 25], 40);
    EXPECT_EQ(word_at(mod, wave + 26), 0); // the wave loops whole
    EXPECT_EQ(word_at(mod, wave + 28), 16);
    EXPECT_EQ(word_at(mod, noise + 22), 50);
    EXPECT_EQ(word_at(mod, noise + 28), 1);   // a drum plays once
    EXPECT_EQ(word_at(mod, 20 + 30 + 28), 1); // an empty slot, as trackers write it
    EXPECT_EQ(mod[950], 3);
    EXPECT_EQ(mod[951], 127);
    EXPECT_EQ(mod[952], 1);
    EXPECT_EQ(mod[954], 1);
    EXPECT_EQ(mod[955], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&mod[1080]), 4), "M.K.");
    // Instrument 17 splits its high bit into the first byte.
    const std::size_t cell = mod_header_size + mod_pattern_size + (5 * score_channels + 2) * 4;
    EXPECT_EQ(mod[cell], 0x10);
    EXPECT_EQ(mod[cell + 1], 254);
    EXPECT_EQ(mod[cell + 2], 0x1E);
    EXPECT_EQ(mod[cell + 3], 0xC3);
    // Sample data in slot order right after the patterns.
    std::vector<std::int8_t> saw = synthesise_sample(score.samples[0]);
    EXPECT_EQ(static_cast<std::int8_t>(mod[mod_header_size + 2 * mod_pattern_size + 1]), saw[1]);
}

TEST(SampleSynth, WavesSwingAroundZeroAtTheirLevel) {
    for (RecipeKind kind : {RecipeKind::Pulse, RecipeKind::Triangle, RecipeKind::Saw}) {
        SampleRecipe r = recipe(kind, 32, 100);
        r.duty = 8;
        std::vector<std::int8_t> frames = synthesise_sample(r);
        ASSERT_EQ(frames.size(), 32u);
        int sum = std::accumulate(frames.begin(), frames.end(), 0);
        auto [low, high] = std::minmax_element(frames.begin(), frames.end());
        EXPECT_LE(std::abs(sum), 32 * 4) << int(kind); // no audible offset
        EXPECT_EQ(std::max<int>(-*low, *high), 100) << int(kind);
    }
}

TEST(SampleSynth, DrumsStartSilentAndDieAway) {
    SampleRecipe kick = recipe(RecipeKind::Kick, 600, 127);
    kick.from = 1900;
    kick.to = 520;
    kick.drop = 7;
    kick.curve = 2;
    SampleRecipe snare = recipe(RecipeKind::Noise, 600, 110);
    snare.seed = 4660;
    snare.tone = 20;
    SampleRecipe hat = snare;
    hat.tone = 0;
    hat.highpass = 1;
    hat.curve = 3;
    for (const SampleRecipe& r : {kick, snare, hat}) {
        std::vector<std::int8_t> frames = synthesise_sample(r);
        ASSERT_EQ(frames.size(), 600u);
        EXPECT_EQ(frames[0], 0);
        EXPECT_EQ(frames[1], 0);
        int loudest_start = 0, loudest_end = 0;
        for (int i = 2; i < 100; ++i) loudest_start = std::max(loudest_start, std::abs(frames[i]));
        for (int i = 560; i < 600; ++i) loudest_end = std::max(loudest_end, std::abs(frames[i]));
        EXPECT_GE(loudest_start, r.level / 2);
        EXPECT_LE(loudest_end, r.level / 8);
    }
}
