#include "platform/core/faults.h"
#include "platform/core/input.h"
#include "platform/core/message_queue.h"
#include "platform/core/window_life.h"
#include "platform/core/window_position.h"
#include "platform/host.h"

void platform_reset() {
    destroy_all_windows();
    forget_deferred_batches();
    reset_input_tracking();
    reset_all_queues();
    fault_refuse_begin_defer_window_pos(0);
    for (WaveOutCall call : {WaveOutCall::Open, WaveOutCall::PrepareHeader, WaveOutCall::Write,
                             WaveOutCall::Reset, WaveOutCall::UnprepareHeader, WaveOutCall::Close})
        fault_wave_out(call, MMSYSERR_NOERROR, 0);
}
