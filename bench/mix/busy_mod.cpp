// Builds the benchmark module in the MOD layout: title, 31 sample headers,
// song length, order list, "M.K.", patterns of 64 rows x 4 channels x 4 bytes,
// then signed 8-bit sample data.
#include "busy_mod.h"
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr int pattern_count = 8;
constexpr int song_length = 16;

struct SampleSpec {
    std::vector<std::int8_t> data;
    int loop_start = 0;
    int loop_length = 0; // 0: plays once
    int volume = 64;
    int fine_tune = 0;
};

void put_word(std::vector<std::uint8_t>& out, std::size_t at, int value) {
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value);
}

std::vector<std::int8_t> wave(int length, double cycles, double (*shape)(double)) {
    std::vector<std::int8_t> data(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double phase = std::fmod(cycles * i / length, 1.0);
        data[i] = static_cast<std::int8_t>(std::lround(120 * shape(phase)));
    }
    return data;
}

double saw(double phase) {
    return 2 * phase - 1;
}
double square(double phase) {
    return phase < 0.5 ? 1 : -1;
}
double sine(double phase) {
    return std::sin(2 * std::numbers::pi * phase);
}
double triangle(double phase) {
    return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
}

std::vector<std::int8_t> decaying_noise(int length, double decay, std::mt19937& random) {
    std::vector<std::int8_t> data(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double level = 127 * std::exp(-decay * i / length);
        data[i] = static_cast<std::int8_t>(static_cast<int>(random() % 255) * level / 127 - level);
    }
    return data;
}

std::vector<SampleSpec> samples(std::mt19937& random) {
    return {
        {wave(4096, 16, saw), 0, 4096, 64, 0},          {wave(64, 1, square), 0, 64, 48, 0},
        {decaying_noise(8000, 6, random), 0, 0, 64, 0}, {wave(32, 1, sine), 0, 32, 64, 3},
        {decaying_noise(3000, 9, random), 0, 0, 40, 0}, {wave(1024, 8, triangle), 512, 512, 56, -2},
        {wave(20000, 100, sine), 10000, 10000, 50, 0},  {wave(128, 1, saw), 0, 128, 64, 0},
    };
}

// The Amiga period of a key (49 is period 428).
int key_period(int key) {
    return static_cast<int>(std::lround(428 * std::pow(2.0, (49 - key) / 12.0)));
}

struct Cell {
    int key = 0;
    int instrument = 0;
    int effect = 0;
    int param = 0;
};

Cell random_cell(int channel, std::mt19937& random) {
    const auto below = [&random](int n) {
        return static_cast<int>(random() % static_cast<unsigned>(n));
    };
    Cell cell;
    if (below(8) != 0) {
        static constexpr int lowest_key[4] = {25, 37, 49, 61};
        cell.key = lowest_key[channel] + below(24);
        cell.instrument = 1 + (channel * 2 + below(3)) % 8;
    }
    static constexpr int effects[][2] = {
        {0x0, 0x00}, {0x0, 0x47}, {0x1, 0x03}, {0x2, 0x02}, {0x3, 0x08}, {0x4, 0x46},
        {0xA, 0x02}, {0xA, 0x20}, {0x9, 0x08}, {0xE, 0x93}, {0xE, 0xC4}, {0xC, 0x30},
        {0x6, 0x01}, {0x7, 0x44}, {0x5, 0x10}, {0x0, 0x00}, {0x0, 0x00}, {0x0, 0x37},
    };
    const auto& chosen = effects[below(std::size(effects))];
    cell.effect = chosen[0];
    cell.param = chosen[1];
    return cell;
}

} // namespace

std::vector<std::uint8_t> busy_mod() {
    std::mt19937 random(20261208);
    const std::vector<SampleSpec> specs = samples(random);
    std::vector<std::uint8_t> out(1084 + 1024 * pattern_count, 0);
    const char title[] = "busy four channels";
    for (std::size_t i = 0; i + 1 < sizeof title; ++i) out[i] = static_cast<std::uint8_t>(title[i]);
    for (std::size_t n = 0; n < specs.size(); ++n) {
        const SampleSpec& s = specs[n];
        const std::size_t header = 20 + 30 * n;
        out[header] = static_cast<std::uint8_t>('a' + n);
        put_word(out, header + 22, static_cast<int>(s.data.size() / 2));
        out[header + 24] = static_cast<std::uint8_t>(s.fine_tune & 15);
        out[header + 25] = static_cast<std::uint8_t>(s.volume);
        put_word(out, header + 26, s.loop_start / 2);
        put_word(out, header + 28, s.loop_length > 0 ? s.loop_length / 2 : 1);
    }
    out[950] = song_length;
    out[951] = 127;
    for (int entry = 0; entry < song_length; ++entry)
        out[952 + entry] = static_cast<std::uint8_t>(entry % pattern_count);
    out[1080] = 'M';
    out[1081] = '.';
    out[1082] = 'K';
    out[1083] = '.';
    for (int pattern = 0; pattern < pattern_count; ++pattern) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < 4; ++channel) {
                Cell cell = random_cell(channel, random);
                // Two tempo changes keep the tick length moving.
                if (row == 0 && channel == 3)
                    cell = Cell{cell.key, cell.instrument, 0xF, pattern % 2 ? 140 : 125};
                const int period = cell.key ? key_period(cell.key) : 0;
                std::uint8_t* note = &out[1084 + 1024 * pattern + (row * 4 + channel) * 4];
                note[0] = static_cast<std::uint8_t>((cell.instrument & 0x10) | (period >> 8));
                note[1] = static_cast<std::uint8_t>(period);
                note[2] = static_cast<std::uint8_t>((cell.instrument & 15) << 4 | cell.effect);
                note[3] = static_cast<std::uint8_t>(cell.param);
            }
        }
    }
    for (const SampleSpec& s : specs) {
        for (std::int8_t value : s.data) out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}
