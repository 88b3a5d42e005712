// Loads arbitrary bytes as an XM module, checks what the replay relies on
// (sample loops and their extra frame, envelopes it can evaluate, key maps
// inside the instrument), then plays a few hundred ticks without and with
// interpolation from a song position taken from the tracker name's first
// byte, which is never read.
#include "fuzz/module_checks.h"
#include "player/xm_loader.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::load_check_and_play(xm_load, data, size, 38);
}
