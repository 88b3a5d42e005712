#include "player/module.h"
#include "base/alloc.h"

// What only other trackers' loaders fill is null in a build that plays only
// the show's song.
void sample_dispose(Sample& sample) {
    if (plays_other_trackers && sample.released) {
        mem_free(sample.released->data);
        mem_free(sample.released);
    }
    mem_free(sample.data);
}

void module_dispose(Module* module) {
    if (plays_other_trackers) {
        mem_free(module->channel_surround);
        mem_free(module->midi_macros);
        mem_free(module->channel_volume);
        mem_free(module->channel_fm);
    }
    mem_free(module->channel_panning);
    mem_free(module->order_list);
    if (module->patterns) {
        for (std::int32_t p = 0; p < module->pattern_count; ++p) {
            mem_free(module->patterns[p].notes);
        }
        mem_free(module->patterns);
    }
    if (module->instruments) {
        for (std::int32_t i = 0; i <= module->instrument_count; ++i) {
            Instrument& instrument = module->instruments[i];
            if (!instrument.samples) continue;
            for (std::int32_t s = 0; s < instrument.sample_count; ++s) {
                if (!instrument.samples[s].borrows_data) sample_dispose(instrument.samples[s]);
            }
            mem_free(instrument.samples);
        }
        mem_free(module->instruments);
    }
    mem_free(module);
}
