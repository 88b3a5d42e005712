// songgen SOURCE OUTPUT PACKED: writes the song source SOURCE as the MOD file
// OUTPUT, and the same bytes packed as the program carries them as PACKED.
#include "tools/songgen/mod_writer.h"
#include "tools/songgen/song_pack.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool write_file(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream output(path, std::ios::binary);
    output.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    if (!output) {
        std::fprintf(stderr, "songgen: cannot write %s\n", path);
        return false;
    }
    std::printf("%s: %zu bytes\n", path, bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: songgen SOURCE OUTPUT PACKED\n");
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
    const std::vector<std::uint8_t> mod = write_mod(score);
    return write_file(argv[2], mod) && write_file(argv[3], pack_song(mod)) ? 0 : 1;
}
