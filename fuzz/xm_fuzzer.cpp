// Loads arbitrary bytes as an XM module, checks what the replay relies on
// (sample loops and their extra frame, envelopes it can evaluate, key maps
// inside the instrument), then plays a few hundred ticks without and with
// interpolation from a song position taken from the data.
#include "fuzz/module_checks.h"
#include "fuzz/song_player.h"
#include "player/module.h"
#include "player/replay.h"
#include "player/xm_loader.h"
#include <cstdint>

namespace {

constexpr std::int32_t ticks_per_pass = 300;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MixBuffers buffers;
    char load_message[load_message_size] = {};
    std::uint64_t announced = 0;
    Module* module = xm_load(data, size, load_message, announced);
    if (!module) {
        fuzz::check(load_message[0] != '\0'); // allocations do not fail here
        return 0;
    }
    fuzz::check_module(*module);
    // The tracker name's first byte is never read: a free choice of the
    // first entry.
    const std::uint8_t choice = size > 38 ? data[38] : 0;
    fuzz::play_from(*module, choice & 0x7F, false, ticks_per_pass, buffers);
    fuzz::play_from(*module, choice & 0x7F, true, ticks_per_pass, buffers);
    module_dispose(module);
    return 0;
}
