#include "tools/songgen/mod_writer.h"

#include "tools/songgen/sample_synth.h"
#include <algorithm>

namespace {

void put_text(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    }
}

void put_word(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Waves loop over their whole cycle; drums play once, which MOD marks with a
// loop of one word at the start.
void put_sample_header(std::vector<std::uint8_t>& out, const SampleRecipe& recipe) {
    put_text(out, recipe.name, score_name_size);
    int words = recipe.length / 2;
    put_word(out, words);
    out.push_back(static_cast<std::uint8_t>(recipe.finetune & 0x0F));
    out.push_back(static_cast<std::uint8_t>(recipe.volume));
    bool looped = recipe.kind == RecipeKind::Pulse || recipe.kind == RecipeKind::Triangle ||
                  recipe.kind == RecipeKind::Saw;
    put_word(out, 0);
    put_word(out, looped ? words : 1);
}

void put_cell(std::vector<std::uint8_t>& out, const ScoreCell& cell) {
    out.push_back(static_cast<std::uint8_t>((cell.instrument & 0xF0) | (cell.period >> 8)));
    out.push_back(static_cast<std::uint8_t>(cell.period & 0xFF));
    out.push_back(static_cast<std::uint8_t>(((cell.instrument & 0x0F) << 4) | cell.effect));
    out.push_back(cell.param);
}

} // namespace

std::vector<std::uint8_t> write_mod(const SongScore& score) {
    std::vector<std::uint8_t> out;
    put_text(out, score.title, score_title_size);
    for (const SampleRecipe& recipe : score.samples) put_sample_header(out, recipe);
    out.push_back(static_cast<std::uint8_t>(score.order.size()));
    out.push_back(127); // the customary restart byte of "M.K." files
    for (int i = 0; i < score_order_size; ++i) {
        out.push_back(static_cast<std::uint8_t>(
            i < static_cast<int>(score.order.size()) ? score.order[i] : 0));
    }
    put_text(out, "M.K.", 4);
    for (const ScorePattern& pattern : score.patterns) {
        for (const ScoreCell& cell : pattern) put_cell(out, cell);
    }
    for (const SampleRecipe& recipe : score.samples) {
        for (std::int8_t frame : synthesise_sample(recipe)) {
            out.push_back(static_cast<std::uint8_t>(frame));
        }
    }
    return out;
}
