// The table of formats: the one entry that loads a module of any format the
// player knows, picked by the first format whose probe recognises the data:
// XM, S3M, IT, MOD with any of the usual signatures, and the oldest MODs, which
// have none, once they look plausible. The show keeps its own module_load.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

struct LoadedFormat {
    char name[16];               // "MOD M.K.", "MOD 8CHN", "MOD 15 samples", "S3M", "XM", "IT"
    std::uint64_t missing_bytes; // what the headers announce beyond the data's end
};

// Loads the module, or returns null: data that no loader recognises and
// refusals leave a reason in load_message, an allocation failure leaves it
// as it was. `format` is filled whenever a loader recognised the data.
Module* module_load_any(const std::uint8_t* data, std::size_t length,
                        char load_message[load_message_size], LoadedFormat& format);
