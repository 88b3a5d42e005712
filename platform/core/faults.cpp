#include "platform/core/faults.h"

#include "platform/host.h"

#include <atomic>

namespace {
std::atomic<unsigned> begin_defer_refusals{0};
}

void fault_refuse_begin_defer_window_pos(unsigned count) {
    begin_defer_refusals = count;
}

bool fault_take_begin_defer_window_pos_refusal() {
    unsigned left = begin_defer_refusals.load();
    while (left > 0 && !begin_defer_refusals.compare_exchange_weak(left, left - 1)) {}
    return left > 0;
}

namespace {
struct WaveOutFault {
    MMRESULT result;
    unsigned skip;
    unsigned count;
};
// Armed and consulted on the thread that drives the device.
WaveOutFault wave_out_faults[static_cast<unsigned>(WaveOutCall::Close) + 1];
} // namespace

void fault_wave_out(WaveOutCall call, MMRESULT result, unsigned count, unsigned skip) {
    wave_out_faults[static_cast<unsigned>(call)] = WaveOutFault{result, skip, count};
}

MMRESULT fault_take_wave_out_failure(WaveOutCall call) {
    WaveOutFault& fault = wave_out_faults[static_cast<unsigned>(call)];
    if (fault.count == 0) return MMSYSERR_NOERROR;
    if (fault.skip > 0) {
        --fault.skip;
        return MMSYSERR_NOERROR;
    }
    if (fault.count != fault_every_call) --fault.count;
    return fault.result;
}
