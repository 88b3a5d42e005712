// Loads arbitrary bytes as an S3M module, checks what the replay relies on,
// then plays a few hundred ticks without and with interpolation from a song
// position taken from the data.
#include "fuzz/module_checks.h"
#include "player/module.h"
#include "player/s3m_loader.h"
#include <cstdint>

namespace {

constexpr std::int32_t ticks_per_pass = 300;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MixBuffers buffers;
    char load_message[load_message_size] = {};
    std::uint64_t announced = 0;
    Module* module = s3m_load(data, size, load_message, announced);
    if (!module) {
        fuzz::check(load_message[0] != '\0'); // allocations do not fail here
        return 0;
    }
    fuzz::check_module(*module);
    // A reserved header byte, never read: a free choice of first entry.
    const std::int32_t entry = size > 54 ? data[54] & 0x7F : 0;
    fuzz::play_from(*module, entry, false, ticks_per_pass, buffers);
    fuzz::play_from(*module, entry, true, ticks_per_pass, buffers);
    module_dispose(module);
    return 0;
}
