// How many allocations loading the embedded song and building its replay
// make, so that a test can fail one allocation of a later start-up step.
#pragma once
#include "base/alloc_faults.h"
#include "player/embedded_song.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstdint>

struct SongAllocations {
    std::uint64_t load;
    std::uint64_t replay;
};

inline SongAllocations song_allocations() {
    std::uint64_t start = mem_allocation_count();
    char message[load_message_size] = {};
    Module* module = module_load(embedded_song, embedded_song_length, message);
    std::uint64_t loaded = mem_allocation_count();
    Replay* replay = module ? new_replay(module, 48000, false) : nullptr;
    SongAllocations used{loaded - start, mem_allocation_count() - loaded};
    if (replay) replay_dispose(replay);
    if (module) module_dispose(module);
    return used;
}
