// Seeds of the XM target: small XM modules that reach every part of the
// loader and, through it, the replay's XM-only paths (volume column, key
// maps, envelopes with sustain and loop, fade-out, auto-vibrato, linear and
// Amiga pitch, 8- and 16-bit samples with forward and ping-pong loops).
#include "fuzz/seed_files.h"
#include "tests/player/xm_builder.h"

namespace {

XmSampleSpec sample(int length, bool sixteen_bit, std::uint8_t loop_type, int seed) {
    XmSampleSpec s;
    s.sixteen_bit = sixteen_bit;
    s.loop_type = loop_type;
    s.loop_start = static_cast<std::uint32_t>(length / 4);
    s.loop_length = static_cast<std::uint32_t>(length / 2);
    s.fine_tune = static_cast<std::int8_t>(seed * 23);
    s.relative_note = static_cast<std::int8_t>(seed - 2);
    s.panning = static_cast<std::uint8_t>(seed * 60);
    for (int i = 0; i < length; ++i) {
        s.frames.push_back(static_cast<std::int16_t>((i * 997 + seed * 4099) % 65536 - 32768));
    }
    return s;
}

XmInstrumentSpec instrument(int seed) {
    XmInstrumentSpec ins;
    ins.samples = {sample(64, seed % 2 == 1, static_cast<std::uint8_t>(seed % 3), seed),
                   sample(9, seed % 2 == 0, 2, seed + 1)};
    for (int key = 0; key < 96; ++key) ins.key_map[key] = static_cast<std::uint8_t>(key / 48);
    ins.volume.points = {{0, 64}, {4, 40}, {10, 50}, {30, 0}};
    ins.volume.type = static_cast<std::uint8_t>(1 | (seed & 1) << 1 | 4);
    ins.volume.sustain = 1;
    ins.volume.loop_start = 1;
    ins.volume.loop_end = 2;
    ins.panning.points = {{0, 0}, {8, 64}, {16, 32}};
    ins.panning.type = 5;
    ins.panning.loop_end = 2;
    ins.vibrato_type = static_cast<std::uint8_t>(seed % 4);
    ins.vibrato_sweep = 8;
    ins.vibrato_depth = 6;
    ins.vibrato_rate = 20;
    ins.fadeout = static_cast<std::uint16_t>(seed * 700);
    return ins;
}

// Every effect and a run of volume-column commands, over all channels.
XmBuilder every_effect(std::uint16_t flags, std::uint16_t channels) {
    XmBuilder b;
    b.channels = channels;
    b.flags = flags;
    b.instruments = {instrument(1), instrument(2), instrument(3)};
    b.orders = {0, 1, 0};
    const int params[] = {0x00, 0x01, 0x37, 0xF3, 0xE2};
    int cell = 0;
    for (int p = 0; p < 2; ++p) {
        b.add_pattern(64);
        for (int row = 0; row < 64; ++row) {
            for (int c = 0; c < channels; ++c, ++cell) {
                const int effect = cell % 0x22;
                if (effect == 0x0B || effect == 0x0D) continue;
                const int key = cell % 7 == 0 ? 97 : 1 + cell * 13 % 96;
                b.set_note(p, row, c, cell % 5 == 0 ? 0 : key, cell % 4, (cell * 11) % 0x100,
                           effect, params[cell % 5]);
            }
        }
    }
    return b;
}

} // namespace

bool write_xm_seeds(const std::string& folder) {
    XmBuilder small;
    small.instruments = {instrument(0)};
    small.add_pattern(16);
    small.set_note(0, 0, 0, 49, 1);
    small.set_note(0, 8, 1, 97, 0, 0x40, 0x14, 0);
    const std::vector<std::uint8_t> whole = every_effect(1, 8).build();
    std::vector<std::uint8_t> cut(whole.begin(),
                                  whole.begin() + static_cast<long>(whole.size() / 2));
    return write_seed(folder, "small.xm", small.build()) &&
           write_seed(folder, "every-effect-linear.xm", whole) &&
           write_seed(folder, "every-effect-amiga.xm", every_effect(0, 3).build()) &&
           write_seed(folder, "every-effect-32ch.xm", every_effect(1, 32).build()) &&
           write_seed(folder, "cut.xm", cut);
}
