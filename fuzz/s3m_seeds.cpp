// Seeds of the S3M target: small S3M modules that reach every part of the
// loader and, through it, the replay's S3M paths (every effect letter with
// a range of parameters, the volume column, order markers, panning kinds,
// samples of every stored kind, AdLib and disabled channels, a cut file).
#include "fuzz/seed_files.h"
#include "tests/player/s3m_builder.h"

namespace {

std::vector<S3mSampleSpec> every_sample_kind() {
    std::vector<S3mSampleSpec> samples;
    for (std::uint8_t flags = 0; flags < 8; ++flags) {
        S3mSampleSpec s;
        s.frames = 40u + flags * 8u;
        s.loop_start = flags;
        s.loop_end = s.frames - flags;
        s.flags = flags;
        s.c2spd = 4000u + flags * 2000u;
        s.volume = static_cast<std::uint8_t>(20 + flags * 8);
        const std::size_t bytes = s.frames * ((flags & 4) ? 2u : 1u) * ((flags & 2) ? 2u : 1u);
        for (std::size_t i = 0; i < bytes; ++i)
            s.data.push_back(static_cast<std::uint8_t>(i * 37 + flags));
        samples.push_back(s);
    }
    samples.push_back(S3mSampleSpec{2, 16, 0, 0, 8363, 64, 0, std::vector<std::uint8_t>(16, 1)});
    return samples;
}

// Letters `first`..`last`, one per row, over all channels and a range of
// parameters, notes and volumes.
S3mBuilder letters(std::uint8_t first, std::uint8_t last) {
    S3mBuilder s3m;
    s3m.samples = every_sample_kind();
    s3m.patterns.assign(2, {});
    s3m.orders = {0, 1, 254, 0, 255};
    const std::uint8_t infos[] = {0x00, 0x01, 0x0F, 0x10, 0x37, 0x80, 0xF3, 0xFF, 0xE2, 0x2F};
    const std::uint8_t notes[] = {0x40, 0x31, 0x72, 255, 254, 0x05, 0x6B, 0x20};
    int row = 0;
    for (std::uint8_t letter = first; letter <= last; ++letter) {
        for (std::uint8_t info : infos) {
            const int at = row++;
            std::uint8_t param = info;
            if (letter == 2 || letter == 3) param %= 4; // keep jumps and breaks near
            s3m.patterns[(at / 64) % 2].push_back({at % 64, at % 4, notes[at % 8],
                                                   static_cast<std::uint8_t>(1 + at % 9),
                                                   at % 3 == 0 ? -1 : at % 70, letter, param});
        }
    }
    return s3m;
}

} // namespace

bool write_s3m_seeds(const std::string& folder) {
    S3mBuilder mono = letters(1, 26);
    mono.master = 0x30;
    mono.channels[2] = 20; // AdLib
    mono.channels[5] = 0x83;
    S3mBuilder panned = letters(19, 19);
    panned.pans.assign(32, 0x2A);
    panned.sample_format = 1;
    panned.version = 0x1300;
    std::vector<std::uint8_t> cut = letters(4, 12).build();
    cut.resize(cut.size() - 100);
    bool ok = write_seed(folder, "empty.s3m", S3mBuilder{}.build()) &&
              write_seed(folder, "mono.s3m", mono.build()) &&
              write_seed(folder, "panned.s3m", panned.build()) &&
              write_seed(folder, "cut.s3m", cut);
    for (std::uint8_t letter = 1; letter <= 26 && ok; letter += 3) {
        const std::uint8_t last = static_cast<std::uint8_t>(letter + 2 > 26 ? 26 : letter + 2);
        ok = write_seed(folder, "letters_" + std::to_string(letter) + ".s3m",
                        letters(letter, last).build());
    }
    return ok;
}
