#include "tools/songgen/song_score.h"

#include <cctype>
#include <map>
#include <sstream>

namespace {

// Classic periods for finetune 0, C-1 to B-3.
constexpr int period_table[36] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, //
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226, //
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
};

struct Failure {
    std::string reason;
};

std::string trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Whitespace-separated words; a double-quoted word keeps its spaces and
// loses its quotes.
std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        } else if (line[i] == '"') {
            std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) throw Failure{"unclosed quote"};
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

int parse_number(const std::string& word, int low, int high, const std::string& what) {
    std::size_t used = 0;
    int value = 0;
    bool ok = !word.empty();
    if (ok) {
        try {
            value = std::stoi(word, &used, 10);
        } catch (...) {
            ok = false;
        }
    }
    if (!ok || used != word.size()) throw Failure{what + " '" + word + "' is not a number"};
    if (value < low || value > high) {
        throw Failure{what + " " + word + " is outside " + std::to_string(low) + ".." +
                      std::to_string(high)};
    }
    return value;
}

std::string checked_text(const std::string& text, std::size_t limit, const std::string& what) {
    if (text.size() > limit) {
        throw Failure{what + " is longer than " + std::to_string(limit) + " characters"};
    }
    for (char c : text) {
        if (c < 32 || c > 126) throw Failure{what + " holds a character outside plain ASCII"};
    }
    return text;
}

RecipeKind recipe_kind(const std::string& word) {
    static const std::map<std::string, RecipeKind> kinds = {
        {"pulse", RecipeKind::Pulse}, {"triangle", RecipeKind::Triangle}, {"saw", RecipeKind::Saw},
        {"kick", RecipeKind::Kick},   {"noise", RecipeKind::Noise},
    };
    auto found = kinds.find(word);
    if (found == kinds.end()) throw Failure{"unknown sample kind '" + word + "'"};
    return found->second;
}

// One recipe setting: where it is stored, its range, and the kinds that use it.
struct Setting {
    int SampleRecipe::*field;
    int low;
    int high;
    std::vector<RecipeKind> kinds;
    bool required;
};

const std::map<std::string, Setting>& recipe_settings() {
    using K = RecipeKind;
    const std::vector<K> all = {K::Pulse, K::Triangle, K::Saw, K::Kick, K::Noise};
    static const std::map<std::string, Setting> settings = {
        {"length", {&SampleRecipe::length, 4, 65534, all, true}},
        {"level", {&SampleRecipe::level, 1, 127, all, true}},
        {"volume", {&SampleRecipe::volume, 0, 64, all, true}},
        {"finetune", {&SampleRecipe::finetune, -8, 7, all, false}},
        {"duty", {&SampleRecipe::duty, 1, 65533, {K::Pulse}, true}},
        {"from", {&SampleRecipe::from, 1, 65535, {K::Kick}, true}},
        {"to", {&SampleRecipe::to, 1, 65535, {K::Kick}, true}},
        {"drop", {&SampleRecipe::drop, 0, 15, {K::Kick}, true}},
        {"curve", {&SampleRecipe::curve, 1, 3, {K::Kick, K::Noise}, false}},
        {"tone", {&SampleRecipe::tone, 0, 65534, {K::Noise}, false}},
        {"highpass", {&SampleRecipe::highpass, 0, 1, {K::Noise}, false}},
        {"seed", {&SampleRecipe::seed, 1, 65535, {K::Noise}, true}},
    };
    return settings;
}

// sample NN "name" kind key=value ...
void parse_sample(const std::vector<std::string>& words, SongScore& score) {
    if (words.size() < 4) throw Failure{"a sample needs a slot, a name and a kind"};
    int slot = parse_number(words[1], 1, score_sample_slots, "sample slot");
    SampleRecipe& recipe = score.samples[slot - 1];
    if (recipe.kind != RecipeKind::Empty) throw Failure{"sample " + words[1] + " is defined twice"};
    recipe = SampleRecipe{};
    recipe.name = checked_text(words[2], score_name_size, "sample name");
    recipe.kind = recipe_kind(words[3]);
    recipe.curve = 1;
    std::map<std::string, bool> given;
    for (std::size_t i = 4; i < words.size(); ++i) {
        std::size_t equals = words[i].find('=');
        if (equals == std::string::npos) throw Failure{"'" + words[i] + "' is not key=value"};
        std::string key = words[i].substr(0, equals);
        auto found = recipe_settings().find(key);
        bool applies = false;
        if (found != recipe_settings().end()) {
            for (RecipeKind kind : found->second.kinds) applies = applies || kind == recipe.kind;
        }
        if (!applies) throw Failure{"'" + key + "' does not apply to " + words[3]};
        if (given[key]) throw Failure{"'" + key + "' is given twice"};
        given[key] = true;
        const Setting& setting = found->second;
        recipe.*setting.field =
            parse_number(words[i].substr(equals + 1), setting.low, setting.high, key);
    }
    for (const auto& [key, setting] : recipe_settings()) {
        bool applies = false;
        for (RecipeKind kind : setting.kinds) applies = applies || kind == recipe.kind;
        if (applies && setting.required && !given[key]) throw Failure{"'" + key + "' is missing"};
    }
    if (recipe.length % 2 != 0) throw Failure{"length must be even (MOD counts in words)"};
    if (recipe.kind == RecipeKind::Pulse && recipe.duty >= recipe.length) {
        throw Failure{"duty must be below length"};
    }
}

ScoreCell parse_cell(const std::string& text, const SongScore& score) {
    std::vector<std::string> parts = split_words(text);
    if (parts.size() != 3) throw Failure{"a cell is 'note instrument effect', got '" + text + "'"};
    ScoreCell cell{};
    if (parts[0] != "---") {
        cell.period = static_cast<std::uint16_t>(note_period(parts[0]));
        if (cell.period == 0) throw Failure{"'" + parts[0] + "' is not a note from C-1 to B-3"};
    }
    if (parts[1] != "..") {
        if (parts[1].size() != 2) throw Failure{"instrument '" + parts[1] + "' is not two digits"};
        int instrument = parse_number(parts[1], 1, score_sample_slots, "instrument");
        if (score.samples[instrument - 1].kind == RecipeKind::Empty) {
            throw Failure{"instrument " + parts[1] + " has no sample"};
        }
        cell.instrument = static_cast<std::uint8_t>(instrument);
    }
    if (parts[2] != "...") {
        const std::string& effect = parts[2];
        bool hex = effect.size() == 3;
        for (char c : effect) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
        if (!hex) throw Failure{"effect '" + effect + "' is not three hex digits"};
        int value = std::stoi(effect, nullptr, 16);
        cell.effect = static_cast<std::uint8_t>(value >> 8);
        cell.param = static_cast<std::uint8_t>(value & 0xFF);
    }
    return cell;
}

// RR | cell | cell | cell | cell
void parse_row(const std::string& line, int expected_row, const SongScore& score,
               ScorePattern& pattern) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '|');) fields.push_back(trim(field));
    if (fields.size() != 1 + score_channels) throw Failure{"a row needs 4 cells between '|'"};
    int row = parse_number(fields[0], 0, score_rows - 1, "row");
    if (row != expected_row) {
        throw Failure{"row " + fields[0] + " where row " + std::to_string(expected_row) +
                      " was expected"};
    }
    for (int channel = 0; channel < score_channels; ++channel) {
        pattern[row * score_channels + channel] = parse_cell(fields[1 + channel], score);
    }
}

void check_complete(const SongScore& score) {
    if (score.title.empty()) throw Failure{"the song has no title"};
    if (score.order.empty()) throw Failure{"the song has no order list"};
    if (score.patterns.empty()) throw Failure{"the song has no patterns"};
    std::vector<bool> played(score.patterns.size(), false);
    for (int entry : score.order) {
        if (entry >= static_cast<int>(score.patterns.size())) {
            throw Failure{"the order list names pattern " + std::to_string(entry) +
                          ", which is not written"};
        }
        played[entry] = true;
    }
    for (std::size_t p = 0; p < played.size(); ++p) {
        if (!played[p]) throw Failure{"pattern " + std::to_string(p) + " is never played"};
    }
}

} // namespace

int note_period(const std::string& name) {
    static const char* const names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                          "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name.size() != 3 || name[2] < '1' || name[2] > '3') return 0;
    for (int semitone = 0; semitone < 12; ++semitone) {
        if (name.compare(0, 2, names[semitone]) == 0) {
            return period_table[(name[2] - '1') * 12 + semitone];
        }
    }
    return 0;
}

bool parse_song_score(const std::string& text, SongScore& score, std::string& error) {
    score = SongScore{};
    std::stringstream lines(text);
    std::string raw;
    int line_number = 0;
    int rows_read = score_rows; // rows read of the pattern being written
    try {
        while (std::getline(lines, raw)) {
            ++line_number;
            std::string line = trim(raw);
            if (line.empty() || line[0] == '#')
                continue; // '#' also marks sharps, so comments are whole lines
            if (std::isdigit(static_cast<unsigned char>(line[0]))) {
                if (rows_read == score_rows) throw Failure{"a row outside a pattern"};
                parse_row(line, rows_read, score, score.patterns.back());
                ++rows_read;
                continue;
            }
            if (rows_read != score_rows) {
                throw Failure{"pattern " + std::to_string(score.patterns.size() - 1) +
                              " ends at row " + std::to_string(rows_read) + "; it needs 64 rows"};
            }
            std::vector<std::string> words = split_words(line);
            if (words[0] == "title" && words.size() == 2) {
                score.title = checked_text(words[1], score_title_size, "title");
            } else if (words[0] == "sample") {
                parse_sample(words, score);
            } else if (words[0] == "order") {
                if (words.size() < 2 || words.size() > 1 + score_order_size) {
                    throw Failure{"the order list needs 1 to 128 entries"};
                }
                score.order.clear();
                for (std::size_t i = 1; i < words.size(); ++i) {
                    score.order.push_back(parse_number(words[i], 0, 63, "order entry"));
                }
            } else if (words[0] == "pattern" && words.size() == 2) {
                int number = parse_number(words[1], 0, 63, "pattern");
                if (number != static_cast<int>(score.patterns.size())) {
                    throw Failure{"pattern " + words[1] + " where pattern " +
                                  std::to_string(score.patterns.size()) + " was expected"};
                }
                score.patterns.emplace_back();
                rows_read = 0;
            } else {
                throw Failure{"unknown line '" + words[0] + "'"};
            }
        }
        if (rows_read != score_rows) throw Failure{"the last pattern is cut short"};
        check_complete(score);
    } catch (const Failure& failure) {
        error = "line " + std::to_string(line_number) + ": " + failure.reason;
        return false;
    }
    return true;
}
