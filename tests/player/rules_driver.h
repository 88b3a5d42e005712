// Plays a module built in a test with the rules of the tracker its format
// belongs to, tick by tick, with one rule turned off when asked, so that a
// test can tell what each rule alone does.
#pragma once
#include "player/mixer.h"
#include "player/resampler.h"
#include "player/sequencer.h"
#include "tests/player/load_any.h"
#include <functional>
#include <gtest/gtest.h>
#include <type_traits>
#include <utility>
#include <vector>

struct RulesDriver {
    AnyModulePtr module;
    Replay* replay = nullptr;
    std::vector<std::int32_t> frames; // interleaved stereo, every tick rendered so far

    explicit RulesDriver(const std::vector<std::uint8_t>& bytes, bool PlayRules::*off = nullptr)
        : module(load_any(bytes)) {
        if (off) {
            EXPECT_TRUE(module->rules.*off) << "the loader did not set the rule";
            module->rules.*off = false;
        }
        replay = new_replay(module.get(), 48000, false);
    }
    RulesDriver(const RulesDriver&) = delete;
    RulesDriver& operator=(const RulesDriver&) = delete;
    ~RulesDriver() { replay_dispose(replay); }

    Channel& channel(int c = 0) { return replay->channels[c]; }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) advance_tick(replay);
    }
    // Renders ticks through the output-rate resampler, moving the samples on;
    // returns the frame they start at.
    std::size_t render(int n) {
        const std::size_t start = frames.size() / 2;
        replay->resampler = Resampler::linear;
        std::vector<std::int32_t> buffer(mix_buffer_values(48000));
        for (int i = 0; i < n; ++i) {
            const std::int32_t count = resample_tick(replay, buffer.data());
            frames.insert(frames.end(), buffer.begin(), buffer.begin() + 2 * count);
        }
        return start;
    }
};

// Runs check(driver, on) with the tracker's rules as loaded (on) and with
// `rule` turned off. Failures name the caller's line (by the compilers'
// builtins: Clang 14 has no std::source_location).
template <class Check>
void with_and_without(const std::vector<std::uint8_t>& bytes, bool PlayRules::*rule, Check check,
                      const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    for (bool on : {true, false}) {
        const testing::ScopedTrace trace(file, line, on ? "rule on" : "rule off");
        RulesDriver driver(bytes, on ? nullptr : rule);
        check(driver, on);
    }
}

// Ticks played by the sequencer alone, or through the output-rate resampler,
// which moves the samples on.
struct Rendered {
    int ticks;
};
struct Advance {
    int ticks;
    bool rendered = false;
    Advance(int sequenced) : ticks(sequenced) {}
    Advance(Rendered r) : ticks(r.ticks), rendered(true) {}
};

// A measure may read channel 0, the replay or the whole driver.
template <class Measure> auto measure(RulesDriver& d, Measure m) {
    if constexpr (std::is_invocable_v<Measure, Channel&>) {
        return std::invoke(m, d.channel());
    } else if constexpr (std::is_invocable_v<Measure, Replay&>) {
        return std::invoke(m, *d.replay);
    } else {
        return std::invoke(m, d);
    }
}
template <class Measure>
using Measured = decltype(measure(std::declval<RulesDriver&>(), std::declval<Measure>()));

template <class Value> struct Step {
    Advance ticks;
    Value on, off;
};

// After each step's ticks, counted on from the step before, `m` gives the
// step's `on` value with the rule and its `off` value without it.
template <class Measure>
void expect_rule(const std::vector<std::uint8_t>& bytes, bool PlayRules::*rule, Measure m,
                 std::initializer_list<Step<Measured<Measure>>> steps,
                 const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    with_and_without(
        bytes, rule,
        [&](RulesDriver& d, bool on) {
            int n = 0;
            for (const auto& step : steps) {
                if (step.ticks.rendered) d.render(step.ticks.ticks);
                if (!step.ticks.rendered) d.ticks(step.ticks.ticks);
                EXPECT_EQ(measure(d, m), on ? step.on : step.off) << "step " << n++;
            }
        },
        file, line);
}

// The note started on the tick the replay has come to: its sample is at its
// first frame.
inline bool struck(const Channel& c) {
    return c.position == 0;
}
inline bool silent(const Channel& c) {
    return c.amplitude == 0;
}
