// Writes a fuzz target's seed corpus into the folder given. For the module
// target: small modules that reach every part of the player (every effect
// code and every E sub-command, each on its own and all together, loops,
// jumps, breaks, odd loop points, long and slow songs, truncated data, the XM
// and S3M refusals). The MOD loader stores volume-column byte 0 for every
// note, so the one volume-column value it can produce is in every seed.
#include "fuzz/seed_files.h"
#include "tests/player/mod_builder.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string hex_digit(int value) {
    return std::string(1, "0123456789ABCDEF"[value & 15]);
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

// One effect code (0x0..0xF, or 0xE with sub-command `sub`) in every row,
// over a range of parameters and notes, on all four channels.
ModBuilder one_effect(int effect, int sub = 0) {
    ModBuilder builder;
    builder.set_orders({0, 1, 0});
    add_samples(builder);
    const int periods[] = {428, 856, 113, 0, 1712, 28, 214, 453};
    const int low_params[] = {0x0, 0x1, 0x3, 0xF};
    const int params[] = {0x00, 0x01, 0x0F, 0x10, 0x37, 0x80, 0xF3, 0xFF};
    for (int row = 0; row < 64; ++row) {
        const int channel = row % 4;
        int param = effect == 0xE ? sub << 4 | low_params[row % 4] : params[row % 8];
        // Speeds of 0 and tempos above 31 stay in: they are part of the command.
        if (effect == 0xB || effect == 0xD) param %= 4;
        builder.set_note(0, row, channel, periods[row % 8], 1 + row % 5, effect, param);
        builder.set_note(1, row, 3 - channel, periods[(row + 3) % 8], row % 6, effect, param);
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

// Every MOD effect, E sub-command, loop kind and song shape the player knows.
bool write_module_seeds(const std::string& folder) {
    std::vector<std::uint8_t> xm = ModBuilder{}.build();
    std::memcpy(xm.data(), "Extended Module:", 16);
    std::vector<std::uint8_t> s3m = ModBuilder{}.build();
    std::memcpy(s3m.data() + 44, "SCRM", 4);
    std::vector<std::uint8_t> truncated = every_effect().build();
    truncated.resize(truncated.size() - 300);
    ModBuilder long_song = song_flow();
    long_song.song_length = 200;
    // The slowest speed and the longest pattern delays over a long song: the
    // fuzzer's tick cap ends it.
    ModBuilder slow_song = song_flow();
    slow_song.song_length = 128;
    slow_song.set_note(0, 0, 1, 0, 0, 0xF, 31);
    slow_song.set_note(0, 1, 1, 0, 0, 0xE, 0xEF);

    bool ok = write_seed(folder, "empty.mod", ModBuilder{}.build()) &&
              write_seed(folder, "every_effect.mod", every_effect().build()) &&
              write_seed(folder, "extended_effects.mod", extended_effects().build()) &&
              write_seed(folder, "song_flow.mod", song_flow().build()) &&
              write_seed(folder, "long_song.mod", long_song.build()) &&
              write_seed(folder, "truncated.mod", truncated) && write_seed(folder, "xm.mod", xm) &&
              write_seed(folder, "s3m.mod", s3m) &&
              write_seed(folder, "slow_song.mod", slow_song.build());
    for (int effect = 0; effect < 16 && ok; ++effect) {
        const std::string name = "effect_" + hex_digit(effect);
        if (effect != 0xE) {
            ok = write_seed(folder, name + ".mod", one_effect(effect).build());
            continue;
        }
        for (int sub = 0; sub < 16 && ok; ++sub) {
            ok =
                write_seed(folder, name + hex_digit(sub) + ".mod", one_effect(effect, sub).build());
        }
    }
    return ok;
}

} // namespace

bool write_seed(const std::string& folder, const std::string& name,
                const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

int main(int argc, char** argv) {
    const std::string target = argc == 3 ? argv[1] : "";
    if (target != "module" && target != "loader" && target != "xm" && target != "s3m" &&
        target != "it") {
        std::fprintf(stderr, "usage: fuzz_seed_corpus module|loader|xm|s3m|it FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    const bool ok = target == "module"   ? write_module_seeds(folder)
                    : target == "loader" ? write_loader_seeds(folder)
                    : target == "xm"     ? write_xm_seeds(folder)
                    : target == "s3m"    ? write_s3m_seeds(folder)
                                         : write_it_seeds(folder);
    if (!ok) std::fprintf(stderr, "fuzz_seed_corpus: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
