#include "player/embedded_song.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/sequencer.h"
#include "tests/player/load_any.h"
#include "tests/player/mod_builder.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// The song's first ticks as the mixer renders them.
std::vector<std::int32_t> first_ticks(const Module& module) {
    Replay* replay = new_replay(&module, 48000, false);
    std::vector<std::int32_t> out, mixed(int_mix_buffer_values);
    for (int tick = 0; tick < 300; ++tick) {
        const std::int32_t frames = mix_tick(replay, mixed.data());
        out.insert(out.end(), mixed.begin(), mixed.begin() + frames * 2);
    }
    replay_dispose(replay);
    return out;
}

std::vector<std::uint8_t> with_signature(std::vector<std::uint8_t> bytes, const char* signature) {
    std::memcpy(bytes.data() + 1080, signature, 4);
    return bytes;
}

} // namespace

TEST(ModuleFormats, LoadTheShowsSongAsTheShowsLoaderButForTheTrackersRulesAndPanning) {
    const std::vector<std::uint8_t> song(embedded_song, embedded_song + embedded_song_length);
    char message[load_message_size] = {};
    AnyModulePtr shows(module_load(song.data(), song.size(), message));
    LoadedFormat format{};
    AnyModulePtr any = load_any(song, nullptr, &format);
    ASSERT_TRUE(shows && any);
    EXPECT_STREQ(format.name, "MOD M.K.");
    EXPECT_EQ(format.missing_bytes, 0u);
    EXPECT_TRUE(any->rules.tempo_after_first_tick);
    EXPECT_FALSE(shows->rules.tempo_after_first_tick);
    any->rules = shows->rules;
    std::copy_n(shows->channel_panning, 4, any->channel_panning);
    EXPECT_EQ(first_ticks(*shows), first_ticks(*any));
}

TEST(ModuleFormats, ReadsEachMultiChannelSignatureWithItsLayout) {
    ModBuilder builder;
    builder.set_orders({0, 2});
    const std::vector<std::uint8_t> bytes = builder.build();
    const struct {
        const char* signature;
        int channels, gain;
    } signatures[] = {{"M!K!", 4, 64}, {"FLT4", 4, 64}, {"4CHN", 4, 64},  {"6CHN", 6, 52},
                      {"8CHN", 8, 45}, {"OCTA", 8, 45}, {"CD81", 8, 45},  {"FLT8", 8, 45},
                      {"TDZ3", 3, 64}, {"2CHN", 2, 64}, {"10CH", 10, 40}, {"32CH", 32, 22}};
    for (auto [signature, channels, gain] : signatures) {
        LoadedFormat format{};
        AnyModulePtr module = load_any(with_signature(bytes, signature), nullptr, &format);
        ASSERT_TRUE(module) << signature;
        EXPECT_EQ(module->channel_count, channels) << signature;
        EXPECT_EQ(module->patterns[0].channel_count, channels) << signature;
        EXPECT_EQ(std::string(format.name), std::string("MOD ") + signature);
        EXPECT_EQ(module->mix_gain, gain) << signature;
        for (int c = 0; c < channels; ++c) {
            EXPECT_EQ(module->channel_panning[c], c % 4 == 0 || c % 4 == 3 ? 64 : 192) << c;
        }
    }

    // Eight channels side by side, or FLT8's two four-channel halves with
    // doubled order entries.
    builder.set_note(0, 0, 1, 428, 5);
    builder.set_note(1, 0, 2, 214, 6);
    const std::vector<std::uint8_t> paired = builder.build();
    AnyModulePtr octa = load_any(with_signature(paired, "OCTA"));
    EXPECT_EQ(octa->pattern_count, 3);
    EXPECT_EQ(octa->patterns[0].notes[1 * note_size + 1], 5);
    AnyModulePtr flt8 = load_any(with_signature(paired, "FLT8"));
    EXPECT_EQ(flt8->pattern_count, 2);
    EXPECT_EQ(flt8->order_list[1], 1);
    EXPECT_EQ(flt8->patterns[0].notes[1 * note_size + 1], 5);
    EXPECT_EQ(flt8->patterns[0].notes[6 * note_size + 1], 6);
}

TEST(ModuleFormats, ReadsA15SampleModOnlyWhenItLooksLikeOne) {
    std::vector<std::uint8_t> old(600 + 1024 + 8, 0);
    std::memcpy(old.data(), "oldie", 5);
    old[20 + 22 + 1] = 4; // sample 1: 8 frames
    old[20 + 25] = 40;
    old[470] = 1;
    old[600] = 0x01, old[601] = 0xAC, old[602] = 0x10; // period 428, instrument 1
    LoadedFormat format{};
    AnyModulePtr module = load_any(old, nullptr, &format);
    ASSERT_TRUE(module);
    EXPECT_STREQ(format.name, "MOD 15 samples");
    EXPECT_EQ(module->instrument_count, 15);
    EXPECT_EQ(module->patterns[0].notes[0], 49);
    EXPECT_EQ(module->instruments[1].samples[0].volume, 40);

    // Text, zeros, no song length, patterns cut off.
    std::string text = "root:x:0:0:root:/root:/bin/bash\n";
    while (text.size() < 4000) text += text;
    std::vector<std::uint8_t> no_orders = old;
    no_orders[470] = 0;
    for (const auto& bytes :
         {std::vector<std::uint8_t>(text.begin(), text.end()), std::vector<std::uint8_t>(5000, 0),
          no_orders, std::vector<std::uint8_t>(old.begin(), old.begin() + 1000)}) {
        std::string message;
        EXPECT_FALSE(load_any(bytes, &message)) << bytes.size();
        EXPECT_EQ(message, "not a module: no MOD, S3M, XM or IT signature");
    }
}
