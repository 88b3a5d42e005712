// mix_tick, the whole player's work per tick (channels, effects, sequencer and
// mixer), on a busy generated module and on the show's song, and
// resample_tick on the busy module by each of its interpolations. The
// counter realtime_factor is seconds of audio rendered per second of CPU.
#include "busy_mod.h"
#include "player/embedded_song.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/resampler.h"
#include "player/sequencer.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t output_rate = 48000;

using TickRenderer = std::int32_t (*)(Replay*, std::int32_t*);

void mix_module(benchmark::State& state, const std::uint8_t* bytes, std::size_t length,
                bool interpolate, Resampler resampler, TickRenderer render_tick) {
    char message[load_message_size] = {};
    Module* module = module_load(bytes, length, message);
    Replay* replay = module ? new_replay(module, output_rate, interpolate) : nullptr;
    if (!replay) {
        state.SkipWithError("the module did not load");
        if (module) module_dispose(module);
        return;
    }
    replay->resampler = resampler;
    std::vector<std::int32_t> buffer(int_mix_buffer_values);
    std::int64_t frames = 0;
    for ([[maybe_unused]] auto _ : state) {
        frames += render_tick(replay, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(frames) / output_rate, benchmark::Counter::kIsRate);
    replay_dispose(replay);
    module_dispose(module);
}

const std::vector<std::uint8_t>& busy_bytes() {
    static const std::vector<std::uint8_t> bytes = busy_mod();
    return bytes;
}

void busy_module(benchmark::State& state) {
    mix_module(state, busy_bytes().data(), busy_bytes().size(), state.range(0) != 0,
               Resampler::show, mix_tick);
}

void show_song(benchmark::State& state) {
    mix_module(state, embedded_song, embedded_song_length, state.range(0) != 0, Resampler::show,
               mix_tick);
}

// The argument is the Resampler (1 nearest, 2 linear, 3 cubic, 4 sinc).
void busy_module_resampled(benchmark::State& state) {
    mix_module(state, busy_bytes().data(), busy_bytes().size(), false,
               static_cast<Resampler>(state.range(0)), resample_tick);
}

BENCHMARK(busy_module)->ArgName("interpolate")->Arg(0)->Arg(1);
BENCHMARK(show_song)->ArgName("interpolate")->Arg(0);
BENCHMARK(busy_module_resampled)->ArgName("resampler")->DenseRange(1, 4);

int write_module(const char* path) {
    const std::vector<std::uint8_t> bytes = busy_mod();
    std::FILE* file = std::fopen(path, "wb");
    bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0) written = false;
    if (!written) std::fprintf(stderr, "bench_mix: cannot write %s\n", path);
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-mod") == 0) return write_module(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
