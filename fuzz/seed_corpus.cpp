// Writes the fuzzer's seed corpus into the folder given: a handful of small
// modules that reach every part of the player (all effects, loops, jumps,
// breaks, odd loop points, truncated data, the XM and S3M refusals).
#include "tests/player/mod_builder.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool write(const std::string& folder, const char* name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

void add_samples(ModBuilder& builder) {
    const int lengths[] = {32, 200, 8, 0, 100};
    for (int n = 1; n <= 5; ++n) {
        ModSampleHeader& s = builder.sample(n);
        s.length_words = static_cast<std::uint16_t>(lengths[n - 1]);
        s.fine_tune = static_cast<std::uint8_t>(n * 3);
        s.volume = static_cast<std::uint8_t>(20 + n * 10);
        s.loop_start_words = static_cast<std::uint16_t>(n == 2 ? 50 : n == 5 ? 80 : 0);
        s.loop_length_words = static_cast<std::uint16_t>(n == 3 ? 1 : n == 5 ? 60 : 16);
        for (int i = 0; i < lengths[n - 1] * 2; ++i) {
            s.data.push_back(static_cast<std::int8_t>((i * 37 + n * 11) % 256 - 128));
        }
    }
}

// Every MOD effect with a few parameters, one per row, over four channels.
ModBuilder every_effect() {
    ModBuilder builder;
    builder.title = "every effect";
    builder.set_orders({0, 1, 0});
    add_samples(builder);
    const int periods[] = {428, 856, 214, 113, 1712, 28, 0, 640};
    const int params[] = {0x00, 0x01, 0x37, 0xF3, 0x1F, 0x80};
    int row = 0;
    for (int effect = 0; effect < 16; ++effect) {
        if (effect == 0xB || effect == 0xD) continue;
        for (int param : params) {
            const int pattern = row / 64;
            const int channel = row % 4;
            const int value = effect == 0xF ? (param & 0x1F) + 1 : param;
            builder.set_note(pattern, row % 64, channel, periods[row % 8], 1 + row % 5, effect,
                             value);
            ++row;
        }
    }
    return builder;
}

// Every extended E command.
ModBuilder extended_effects() {
    ModBuilder builder;
    builder.set_orders({0});
    add_samples(builder);
    for (int command = 0; command < 16; ++command) {
        builder.set_note(0, command * 4, command % 4, 428 + command * 20, 2, 0xE, command << 4 | 3);
        builder.set_note(0, command * 4 + 1, 1, 300, 5, 0xE, command << 4);
    }
    return builder;
}

// Jumps, breaks, loops and delays that send the song around.
ModBuilder song_flow() {
    ModBuilder builder;
    builder.set_orders({0, 2, 1, 2, 0});
    builder.order_list[100] = 3;
    add_samples(builder);
    builder.set_note(0, 2, 0, 428, 1, 0xE, 0x60);
    builder.set_note(0, 5, 0, 0, 0, 0xE, 0x63);
    builder.set_note(0, 5, 2, 0, 0, 0xD, 0x12);
    builder.set_note(1, 10, 1, 226, 2, 0xB, 0x04);
    builder.set_note(2, 12, 3, 0, 0, 0xE, 0xE4);
    builder.set_note(2, 13, 0, 0, 0, 0xF, 0x20);
    builder.set_note(2, 14, 1, 0, 0, 0xF, 0xFF);
    builder.set_note(2, 20, 2, 0, 0, 0xD, 0x99);
    builder.set_note(3, 0, 0, 0, 0, 0xB, 0x7F);
    return builder;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_corpus FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::uint8_t> xm = ModBuilder{}.build();
    std::memcpy(xm.data(), "Extended Module:", 16);
    std::vector<std::uint8_t> s3m = ModBuilder{}.build();
    std::memcpy(s3m.data() + 44, "SCRM", 4);
    std::vector<std::uint8_t> truncated = every_effect().build();
    truncated.resize(truncated.size() - 300);
    ModBuilder long_song = song_flow();
    long_song.song_length = 200;

    bool ok = write(folder, "empty.mod", ModBuilder{}.build()) &&
              write(folder, "every_effect.mod", every_effect().build()) &&
              write(folder, "extended_effects.mod", extended_effects().build()) &&
              write(folder, "song_flow.mod", song_flow().build()) &&
              write(folder, "long_song.mod", long_song.build()) &&
              write(folder, "truncated.mod", truncated) && write(folder, "xm.mod", xm) &&
              write(folder, "s3m.mod", s3m);
    if (!ok) std::fprintf(stderr, "fuzz_seed_corpus: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
