#include "tools/songgen/sample_synth.h"

#include <algorithm>

namespace {

std::int8_t clamp_frame(int value) {
    return static_cast<std::int8_t>(std::clamp(value, -128, 127));
}

// A sine-like wave from two parabolas: -32768..32768 over a phase of 65536.
int parabola_sine(std::uint32_t phase) {
    int half = static_cast<int>(phase & 32767);
    int arch = (half * (32768 - half)) >> 13;
    return (phase & 32768) ? -arch : arch;
}

// Decay from 256 at frame 0 toward 0 at `length`, linear, quadratic or cubic.
int decay_envelope(int frame, int length, int curve) {
    int linear = ((length - frame) << 8) / length;
    int shaped = linear;
    for (int power = 1; power < curve; ++power) shaped = (shaped * linear) >> 8;
    return shaped;
}

// Balanced around zero (the narrower part swings further), so that the wave
// carries no offset that would click when a note starts or is cut.
std::vector<std::int8_t> pulse(const SampleRecipe& recipe) {
    int high_frames = recipe.duty;
    int low_frames = recipe.length - recipe.duty;
    int high = high_frames <= low_frames ? recipe.level : recipe.level * low_frames / high_frames;
    int low = low_frames <= high_frames ? recipe.level : recipe.level * high_frames / low_frames;
    std::vector<std::int8_t> frames(recipe.length);
    for (int i = 0; i < recipe.length; ++i) frames[i] = clamp_frame(i < high_frames ? high : -low);
    return frames;
}

std::vector<std::int8_t> triangle(const SampleRecipe& recipe) {
    std::vector<std::int8_t> frames(recipe.length);
    int half = recipe.length / 2;
    for (int i = 0; i < recipe.length; ++i) {
        int climb = i < half ? i : recipe.length - i; // 0..half..1
        frames[i] = clamp_frame(-recipe.level + (2 * recipe.level * climb) / half);
    }
    return frames;
}

std::vector<std::int8_t> saw(const SampleRecipe& recipe) {
    std::vector<std::int8_t> frames(recipe.length);
    for (int i = 0; i < recipe.length; ++i) {
        frames[i] = clamp_frame(-recipe.level + (2 * recipe.level * i) / recipe.length);
    }
    return frames;
}

// A sine whose pitch falls from `from` toward `to`, fading out.
std::vector<std::int8_t> kick(const SampleRecipe& recipe) {
    std::vector<std::int8_t> frames(recipe.length);
    std::uint32_t phase = 0;
    int step = recipe.from;
    for (int i = 2; i < recipe.length; ++i) {
        int envelope = decay_envelope(i, recipe.length, recipe.curve);
        frames[i] = clamp_frame((parabola_sine(phase) / 256 * recipe.level / 128 * envelope) >> 8);
        phase = (phase + static_cast<std::uint32_t>(step)) & 65535;
        step -= (step - recipe.to) >> recipe.drop;
    }
    return frames;
}

// Noise from a 16-bit Galois shift register, optionally brightened or mixed
// with a square tone for a drum's body, fading out.
std::vector<std::int8_t> noise(const SampleRecipe& recipe) {
    std::vector<std::int8_t> frames(recipe.length);
    std::uint32_t state = static_cast<std::uint32_t>(recipe.seed);
    int previous = 0;
    for (int i = 2; i < recipe.length; ++i) {
        for (int bit = 0; bit < 8; ++bit) state = (state >> 1) ^ ((state & 1) ? 0xB400u : 0u);
        int value = static_cast<int>(state & 255) - 128;
        if (recipe.highpass) {
            int difference = (value - previous) / 2;
            previous = value;
            value = difference;
        }
        if (recipe.tone > 0) {
            int square = ((i / recipe.tone) % 2) ? -127 : 127;
            value = (value + square) / 2;
        }
        int envelope = decay_envelope(i, recipe.length, recipe.curve);
        frames[i] = clamp_frame((value * recipe.level / 128 * envelope) >> 8);
    }
    return frames;
}

} // namespace

std::vector<std::int8_t> synthesise_sample(const SampleRecipe& recipe) {
    switch (recipe.kind) {
    case RecipeKind::Pulse:
        return pulse(recipe);
    case RecipeKind::Triangle:
        return triangle(recipe);
    case RecipeKind::Saw:
        return saw(recipe);
    case RecipeKind::Kick:
        return kick(recipe);
    case RecipeKind::Noise:
        return noise(recipe);
    case RecipeKind::Empty:
        break;
    }
    return {};
}
