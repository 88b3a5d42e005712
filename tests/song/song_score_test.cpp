// The song source notation: what it accepts and how it reports mistakes.
#include "tools/songgen/song_score.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

const char* const samples_and_order =
    "title \"t\"\n"
    "sample 01 \"lead\" pulse length=32 duty=8 level=100 volume=40\n"
    "sample 05 \"kick\" kick length=200 from=1900 to=520 drop=7 "
    "level=127 volume=64\n"
    "order 0\n";

// A pattern of 64 rows whose row `row` holds `cells` and the rest nothing.
std::string pattern_with(int number, int row, const std::string& cells) {
    std::string text = "pattern " + std::to_string(number) + "\n";
    for (int r = 0; r < score_rows; ++r) {
        char label[4];
        std::snprintf(label, sizeof label, "%02d", r);
        text += label;
        text += r == row ? " | " + cells + "\n"
                         : " | --- .. ... | --- .. ... | --- .. ... | --- .. ...\n";
    }
    return text;
}

std::string parse_error(const std::string& text) {
    SongScore score;
    std::string error;
    EXPECT_FALSE(parse_song_score(text, score, error)) << text;
    return error;
}

} // namespace

TEST(SongScore, NoteNamesGiveTheClassicPeriodsOverThreeOctaves) {
    EXPECT_EQ(note_period("C-1"), 856);
    EXPECT_EQ(note_period("C#2"), 404);
    EXPECT_EQ(note_period("A-2"), 254);
    EXPECT_EQ(note_period("B-3"), 113);
    EXPECT_EQ(note_period("C-4"), 0);
    EXPECT_EQ(note_period("E#1"), 0);
    EXPECT_EQ(note_period("c-1"), 0);
}

TEST(SongScore, ReadsCellsWithSharpsInstrumentsAndEffects) {
    std::string text = std::string("# a comment line\n\n") + samples_and_order +
                       pattern_with(0, 5, "G#2 01 4a3 | --- 05 ... | C-1 .. EC2 | --- .. ...");
    SongScore score;
    std::string error;
    ASSERT_TRUE(parse_song_score(text, score, error)) << error;
    ASSERT_EQ(score.patterns.size(), 1u);
    const ScoreCell* row = &score.patterns[0][5 * score_channels];
    EXPECT_EQ(row[0].period, 269);
    EXPECT_EQ(row[0].instrument, 1);
    EXPECT_EQ(row[0].effect, 4);
    EXPECT_EQ(row[0].param, 0xA3);
    EXPECT_EQ(row[1].period, 0);
    EXPECT_EQ(row[1].instrument, 5);
    EXPECT_EQ(row[2].effect, 0xE);
    EXPECT_EQ(row[2].param, 0xC2);
    EXPECT_EQ(score.samples[4].kind, RecipeKind::Kick);
    EXPECT_EQ(score.samples[4].drop, 7);
    EXPECT_EQ(score.samples[4].curve, 1); // the default
    EXPECT_EQ(score.samples[1].kind, RecipeKind::Empty);
}

TEST(SongScore, ReportsMistakesWithTheirLineNumber) {
    const std::string row_ok = "--- .. ... | --- .. ... | --- .. ... | --- .. ...";
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {std::string(samples_and_order) + pattern_with(0, 3, "H-2 01 ... | " + row_ok.substr(13)),
         "line 9: 'H-2' is not a note"},
        {std::string(samples_and_order) + pattern_with(0, 0, "C-2 02 ... | " + row_ok.substr(13)),
         "line 6: instrument 02 has no sample"},
        {std::string(samples_and_order) + pattern_with(0, 0, "C-2 01 4g3 | " + row_ok.substr(13)),
         "line 6: effect '4g3' is not three hex digits"},
        {std::string(samples_and_order) + "pattern 0\n01 | " + row_ok + "\n",
         "line 6: row 01 where row 0 was expected"},
        {std::string(samples_and_order) + "pattern 0\n00 | " + row_ok + "\norder 0\n",
         "line 7: pattern 0 ends at row 1"},
        {std::string(samples_and_order) + "pattern 0\n00 | " + row_ok + "\n",
         "line 6: the last pattern is cut short"},
        {"sample 02 \"x\" saw length=32 level=100 volume=40 duty=3\n",
         "line 1: 'duty' does not apply to saw"},
        {"sample 02 \"x\" saw length=32 level=100\n", "line 1: 'volume' is missing"},
        {"sample 02 \"x\" saw length=32 level=100 volume=65\n",
         "line 1: volume 65 is outside 0..64"},
        {std::string(samples_and_order) + pattern_with(0, -1, "") + pattern_with(1, -1, ""),
         "pattern 1 is never played"},
        {"title \"t\"\norder 1\n" + pattern_with(0, -1, ""),
         "names pattern 1, which is not written"},
    };
    for (const Case& c : cases) {
        std::string error = parse_error(c.text);
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "got \"" << error << "\", expected \"" << c.expected << "\"";
    }
}
