// Loads arbitrary bytes as an S3M module, checks what the replay relies on,
// then plays a few hundred ticks without and with interpolation from a song
// position taken from a reserved header byte.
#include "fuzz/module_checks.h"
#include "player/s3m_loader.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::load_check_and_play(s3m_load, data, size, 54);
}
