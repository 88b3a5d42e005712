// Plays a module built in a test with the rules of the tracker its format
// belongs to, tick by tick, with one rule turned off when asked, so that a
// test can tell what each rule alone does.
#pragma once
#include "player/mixer.h"
#include "player/resampler.h"
#include "player/sequencer.h"
#include "tests/player/load_any.h"
#include <gtest/gtest.h>
#include <vector>

struct RulesDriver {
    AnyModulePtr module;
    Replay* replay = nullptr;

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
    // Renders ticks through the output-rate resampler, moving the samples on.
    void render(int n) {
        replay->resampler = Resampler::linear;
        std::vector<std::int32_t> buffer(mix_buffer_values(48000));
        for (int i = 0; i < n; ++i) resample_tick(replay, buffer.data());
    }
};

// Runs check(driver, on) with the tracker's rules as loaded (on) and with
// `rule` turned off.
template <class Check>
void with_and_without(const std::vector<std::uint8_t>& bytes, bool PlayRules::*rule, Check check) {
    for (bool on : {true, false}) {
        RulesDriver driver(bytes, on ? nullptr : rule);
        check(driver, on);
    }
}
