// Songs built directly as Module records for the channel, effect and mixer
// tests: any channel count, pitch scale, envelope or sample shape, without
// going through a file format. Instrument 0 is the empty instrument; every
// other instrument has one sample.
#pragma once
#include "player/channel.h"
#include "player/envelope.h"
#include "player/lfo.h"
#include "player/sequencer.h"
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

struct TestSong {
    Module module{};
    std::vector<std::uint8_t> panning;
    std::array<std::uint8_t, order_list_size> orders{};
    std::vector<Pattern> patterns;
    std::deque<std::vector<std::uint8_t>> notes;
    std::vector<Instrument> instruments;
    std::deque<Sample> samples; // a deque keeps their addresses
    std::deque<std::vector<std::int16_t>> sample_data;

    explicit TestSong(int channel_count = 4, int pattern_count = 1, int rows = 64) {
        module.channel_count = channel_count;
        module.song_length = pattern_count;
        module.initial_global_volume = 64;
        module.initial_speed = 6;
        module.initial_tempo = 125;
        module.reference_rate = 8287;
        module.mix_gain = 64;
        for (int c = 0; c < channel_count; ++c)
            panning.push_back(c % 4 == 0 || c % 4 == 3 ? 51 : 204);
        for (int p = 0; p < pattern_count; ++p) {
            orders[p] = static_cast<std::uint8_t>(p);
            notes.emplace_back(static_cast<std::size_t>(rows * channel_count * note_size), 0);
            patterns.push_back(Pattern{channel_count, rows, nullptr});
        }
        samples.push_back(Sample{}); // instrument 0: silent, no data
        instruments.push_back(Instrument{});
        instruments[0].sample_count = 1;
        sync();
    }

    // Adds an instrument whose sample holds `frames` with a loop of
    // `loop_length` frames from `loop_start` (0: no loop); returns its number.
    int add_instrument(const std::vector<std::int16_t>& frames, int loop_start = 0,
                       int loop_length = 0, int volume = 64) {
        const int length = static_cast<int>(frames.size());
        if (loop_length == 0) loop_start = length;
        // One element past the loop end repeats the loop's first frame, as
        // the loader leaves it.
        std::vector<std::int16_t> data = frames;
        data.push_back(0);
        data.at(loop_start + loop_length) = data.at(loop_start);
        sample_data.push_back(std::move(data));
        Sample sample{};
        sample.loop_start = loop_start;
        sample.loop_length = loop_length;
        sample.volume = static_cast<std::int16_t>(volume);
        sample.data = sample_data.back().data();
        samples.push_back(sample);
        Instrument instrument{};
        instrument.sample_count = 1;
        instruments.push_back(instrument);
        sync();
        return module.instrument_count;
    }

    // The instrument's one sample.
    Sample& sample_of(int instrument) { return *instruments[instrument].samples; }

    void set_note(int pattern, int row, int channel, Note note) {
        std::uint8_t* cell = &notes[pattern].at((row * module.channel_count + channel) * note_size);
        cell[0] = note.key;
        cell[1] = note.instrument;
        cell[2] = note.volume;
        cell[3] = note.effect;
        cell[4] = note.param;
    }

    // Points the module at the current storage; called after every change.
    void sync() {
        for (std::size_t p = 0; p < patterns.size(); ++p) patterns[p].notes = notes[p].data();
        for (std::size_t i = 0; i < instruments.size(); ++i) instruments[i].samples = &samples[i];
        module.pattern_count = static_cast<std::int32_t>(patterns.size());
        module.instrument_count = static_cast<std::int32_t>(instruments.size()) - 1;
        module.channel_panning = panning.data();
        module.order_list = orders.data();
        module.patterns = patterns.data();
        module.instruments = instruments.data();
    }
};

struct ReplayDeleter {
    void operator()(Replay* replay) const { replay_dispose(replay); }
};
using ReplayHandle = std::unique_ptr<Replay, ReplayDeleter>;

inline ReplayHandle start_replay(const TestSong& song, std::int32_t output_rate = 48000,
                                 bool interpolate = false) {
    return ReplayHandle(new_replay(&song.module, output_rate, interpolate));
}

// A square wave of `period` frames between +level and -level.
inline std::vector<std::int16_t> square_wave(int period, std::int16_t level) {
    std::vector<std::int16_t> frames(static_cast<std::size_t>(period));
    for (int i = 0; i < period; ++i)
        frames[i] = i < period / 2 ? level : static_cast<std::int16_t>(-level);
    return frames;
}

// Drives channel 0 of a replay of `song` by hand, row by row and tick by tick,
// without the sequencer's timing in between.
struct ChannelDriver {
    TestSong song;
    ReplayHandle replay;
    Channel* channel = nullptr;

    void start() {
        replay = start_replay(song);
        channel = replay ? &replay->channels[0] : nullptr;
    }
    void row(Note note) { apply_row_note(*channel, note); }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) apply_tick_effects(*channel);
    }
};
