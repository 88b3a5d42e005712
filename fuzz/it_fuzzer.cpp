// Loads arbitrary bytes as an IT module, checks what the replay relies on,
// then plays a few hundred ticks without and with interpolation from a song
// position taken from a byte of the song name that the loader keeps but the
// replay never reads.
#include "fuzz/module_checks.h"
#include "player/it_loader.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::load_check_and_play(it_load, data, size, 0x1D);
}
