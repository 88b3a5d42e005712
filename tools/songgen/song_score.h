// The song as written in its text source: title, sample recipes, order list
// and patterns, checked and ready to be written as a MOD file.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int score_sample_slots = 31;
constexpr int score_channels = 4;
constexpr int score_rows = 64;
constexpr int score_title_size = 20;
constexpr int score_name_size = 22;
constexpr int score_order_size = 128;

enum class RecipeKind { Empty, Pulse, Triangle, Saw, Kick, Noise };

// How the generator synthesises one sample. Waves are one looped cycle of
// `length` frames; drums play once. Unused fields stay 0.
struct SampleRecipe {
    RecipeKind kind;
    std::string name;
    int length;   // frames, even
    int level;    // peak, 1..127
    int volume;   // default volume, 0..64
    int finetune; // -8..7
    int duty;     // pulse: frames at +level
    int from;     // kick: starting phase step, 65536 = one cycle per frame
    int to;       // kick: phase step that the sweep falls toward
    int drop;     // kick: the sweep closes 1/2^drop of the gap per frame
    int curve;    // drums: 1 linear, 2 quadratic, 3 cubic decay
    int tone;     // noise: half-period in frames of a square mixed in, 0 none
    int highpass; // noise: 1 = first difference, brighter
    int seed;     // noise: generator seed, 1..65535
};

// One pattern cell in MOD terms.
struct ScoreCell {
    std::uint16_t period; // 0 = no note
    std::uint8_t instrument;
    std::uint8_t effect;
    std::uint8_t param;
};

using ScorePattern = std::array<ScoreCell, score_rows * score_channels>;

struct SongScore {
    std::string title;
    std::array<SampleRecipe, score_sample_slots> samples;
    std::vector<int> order; // the entries played; the rest of the list is 0
    std::vector<ScorePattern> patterns;
};

// Reads the text source. On failure returns false with "line N: reason" in
// `error`; `score` is then incomplete.
bool parse_song_score(const std::string& text, SongScore& score, std::string& error);

// The ProTracker period of a note name such as "C-1", "F#2" or "B-3" (three
// octaves, C-1 = 856 .. B-3 = 113); 0 when the name is not such a note.
int note_period(const std::string& name);
