// songgen SOURCE OUTPUT: writes the song source SOURCE as the MOD file OUTPUT.
#include "tools/songgen/mod_writer.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: songgen SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream source(argv[1], std::ios::binary);
    if (!source) {
        std::fprintf(stderr, "songgen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << source.rdbuf();
    SongScore score;
    std::string error;
    if (!parse_song_score(text.str(), score, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::vector<std::uint8_t> mod = write_mod(score);
    std::ofstream output(argv[2], std::ios::binary);
    output.write(reinterpret_cast<const char*>(mod.data()),
                 static_cast<std::streamsize>(mod.size()));
    if (!output) {
        std::fprintf(stderr, "songgen: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[2], mod.size());
    return 0;
}
