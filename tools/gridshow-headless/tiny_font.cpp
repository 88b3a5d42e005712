#include "tools/gridshow-headless/tiny_font.h"

namespace {

struct Glyph {
    char character;
    const char* rows; // 5 rows of 3, '#' set
};

constexpr Glyph glyphs[] = {
    {'0', "#### ## ## ####"}, {'1', " # ##  #  # ###"}, {'2', "###  #####  ###"},
    {'3', "###  ####  ####"}, {'4', "# ## ####  #  #"}, {'5', "####  ###  ####"},
    {'6', "####  #### ####"}, {'7', "###  #  #  #  #"}, {'8', "#### ##### ####"},
    {'9', "#### ####  ####"}, {'A', " # # ##### ## #"}, {'B', "## # ### # ### "},
    {'C', " ###  #  #   ##"}, {'D', "## # ## ## ### "}, {'E', "####  ## #  ###"},
    {'F', "####  ## #  #  "}, {'G', " ###  # ## # ##"}, {'H', "# ## ##### ## #"},
    {'I', "### #  #  # ###"}, {'J', "  #  #  ## # # "}, {'K', "# ## ### # ## #"},
    {'L', "#  #  #  #  ###"}, {'M', "# ######## ## #"}, {'N', "## # ## ## ## #"},
    {'O', " # # ## ## # # "}, {'P', "## # ### #  #  "}, {'Q', " # # ## ### ## "},
    {'R', "## # ### # ## #"}, {'S', " ###   #   ### "}, {'T', "### #  #  #  # "},
    {'U', "# ## ## ## ####"}, {'V', "# ## ## ## # # "}, {'W', "# ## ########## "},
    {'X', "# ## # # # ## #"}, {'Y', "# ## # #  #  # "}, {'Z', "###  # # #  ###"},
    {'-', "      ###      "}, {'.', "             # "}, {':', "    #     #    "},
};

const char* rows_for(char character) {
    if (character >= 'a' && character <= 'z') character = char(character - 'a' + 'A');
    for (const Glyph& glyph : glyphs)
        if (glyph.character == character) return glyph.rows;
    return nullptr;
}

void fill_block(Picture picture, int x, int y, int size, std::uint32_t colour) {
    for (int row = y; row < y + size; ++row) {
        if (row < 0 || row >= picture.height) continue;
        for (int column = x; column < x + size; ++column)
            if (column >= 0 && column < picture.width)
                picture.pixels[row * picture.stride + column] = colour;
    }
}

} // namespace

int draw_text(Picture picture, int x, int y, const char* text, int scale, std::uint32_t colour) {
    for (; *text; ++text, x += glyph_advance * scale) {
        const char* rows = rows_for(*text);
        if (!rows) continue;
        for (int row = 0; row < glyph_height; ++row)
            for (int column = 0; column < glyph_width; ++column)
                if (rows[row * glyph_width + column] == '#')
                    fill_block(picture, x + column * scale, y + row * scale, scale, colour);
    }
    return x;
}
