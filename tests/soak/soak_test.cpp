// Ten hours of the show's song, rendered in virtual time the way the wave
// output consumes it. The replay loops around the song for ever, and the
// show's only link to the music is order_counter, so it must count exactly
// one per entry however long the song runs; the sound must depend on nothing
// but the song; and nothing may grow.
#include "base/alloc_faults.h"
#include "player/embedded_song.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::int64_t output_rate = 48000;
constexpr std::int64_t soak_frames = 10 * 3600 * output_rate;
constexpr std::int64_t frames_per_tick = 960;                       // tempo 125
constexpr std::int64_t frames_per_entry = 64 * 6 * frames_per_tick; // 7.68 s
// The entry the show restarts the song at after creating the replay: past
// the song's end, so it plays from entry 0.
constexpr std::int32_t show_restart_entry = 8;
// Room for the test's own bookkeeping (GoogleTest, stdio) in the resident size.
constexpr long rss_margin_kib = 64;

// The process's resident anonymous memory (heap and stacks, not the pages of
// code that are read in as the song reaches new paths) in KiB.
long resident_kib() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    static constexpr char field[] = "RssAnon:";
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, sizeof field - 1) != 0) continue;
        kib = std::strtol(line + sizeof field - 1, nullptr, 10);
        break;
    }
    std::fclose(status);
    return kib;
}

// 64-bit FNV-1a over the 16-bit output taken four samples at a time: a
// fingerprint of the stream, at a quarter of the cost of a byte-wise pass.
struct StreamHash {
    std::uint64_t value = 14695981039346656037ull;

    void add(const std::int16_t* samples, std::size_t count) {
        std::size_t i = 0;
        for (; i + 4 <= count; i += 4) {
            std::uint64_t word;
            std::memcpy(&word, samples + i, sizeof word);
            value = (value ^ word) * 1099511628211ull;
        }
        for (; i < count; ++i) {
            value = (value ^ static_cast<std::uint16_t>(samples[i])) * 1099511628211ull;
        }
    }
};

struct SoakRun {
    std::uint64_t hash = 0;
    std::int64_t frames = 0;
    std::uint32_t first_counter = 0;
    std::uint32_t last_counter = 0;
    // Entry changes that were not one step on after exactly 7.68 s.
    std::int64_t bad_entry_changes = 0;
    std::int64_t first_bad_frame = -1;
    std::uint64_t allocations_while_playing = 0;
    long rss_start_kib = 0;
    long rss_end_kib = 0;
};

SoakRun soak(std::int64_t frames_to_render) {
    SoakRun run;
    char load_message[load_message_size] = {};
    Module* module = module_load(embedded_song, embedded_song_length, load_message);
    Replay* replay = module ? new_replay(module, output_rate, false) : nullptr;
    if (!replay) {
        if (module) module_dispose(module);
        return run;
    }
    start_sequence_at(replay, show_restart_entry);
    std::vector<std::int32_t> mixed(int_mix_buffer_values);
    std::vector<std::int16_t> samples(int_mix_buffer_values);
    const std::uint64_t allocations_at_start = mem_allocation_count();

    StreamHash hash;
    run.first_counter = replay->order_counter;
    std::uint32_t counter = replay->order_counter;
    std::int32_t entry = replay->order_index;
    std::int64_t entry_started = 0;
    while (run.frames < frames_to_render) {
        const std::int32_t frames = mix_tick(replay, mixed.data());
        copy_saturated(mixed.data(), samples.data(), static_cast<std::size_t>(frames) * 2);
        hash.add(samples.data(), static_cast<std::size_t>(frames) * 2);
        run.frames += frames;
        if (run.rss_start_kib == 0) run.rss_start_kib = resident_kib(); // buffers now touched
        if (replay->order_counter == counter) continue;
        const bool one_step = replay->order_counter == counter + 1 &&
                              replay->order_index == (entry + 1) % module->song_length &&
                              run.frames - entry_started == frames_per_entry;
        if (!one_step && run.bad_entry_changes++ == 0) run.first_bad_frame = run.frames;
        counter = replay->order_counter;
        entry = replay->order_index;
        entry_started = run.frames;
    }
    run.rss_end_kib = resident_kib();
    run.allocations_while_playing = mem_allocation_count() - allocations_at_start;
    run.last_counter = replay->order_counter;
    run.hash = hash.value;
    replay_dispose(replay);
    module_dispose(module);
    return run;
}

} // namespace

TEST(Soak, TenHoursOfTheSongCountEveryEntryOnceRepeatExactlyAndStayFlat) {
#ifdef GRIDSHOW_SOAK_SKIPPED
    GTEST_SKIP() << "ten hours of audio take too long under the sanitizers";
#endif
    const SoakRun first = soak(soak_frames);
    const SoakRun second = soak(soak_frames);
    ASSERT_EQ(first.frames, soak_frames);

    for (const SoakRun& run : {first, second}) {
        EXPECT_EQ(run.bad_entry_changes, 0) << "first at frame " << run.first_bad_frame;
        // 10 h / 7.68 s = 4687.5 entries after the one entered at the start.
        EXPECT_EQ(run.last_counter - run.first_counter, soak_frames / frames_per_entry);
        EXPECT_EQ(run.allocations_while_playing, 0u);
        EXPECT_GT(run.rss_start_kib, 0);
        EXPECT_LE(run.rss_end_kib, run.rss_start_kib + rss_margin_kib);
    }
    EXPECT_EQ(second.frames, first.frames);
    EXPECT_EQ(second.hash, first.hash);
    std::printf("%lld frames, order_counter %u to %u, output hash %016llx, RSS %ld -> %ld KiB\n",
                static_cast<long long>(first.frames), first.first_counter, first.last_counter,
                static_cast<unsigned long long>(first.hash), first.rss_start_kib,
                first.rss_end_kib);
}
