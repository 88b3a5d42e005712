// Fault switches of the core. A test host arms them (through its own API);
// the core's calls consult them and fail the way the real system can.
#pragma once
#include "platform/core/win32_api.h"

// fault_refuse_begin_defer_window_pos (platform/host.h) arms this one.
// Consulted by BeginDeferWindowPos: true (and one refusal used up) when this
// call must refuse.
bool fault_take_begin_defer_window_pos_refusal();

// ---- Wave output ----------------------------------------------------------

enum class WaveOutCall : unsigned { Open, PrepareHeader, Write, Reset, UnprepareHeader, Close };
constexpr unsigned fault_every_call = ~0u;

// After the next `skip` calls of `call` have run normally, the `count` calls
// that follow return `result` and do nothing else (fault_every_call: all of
// them). A count of 0 disarms.
void fault_wave_out(WaveOutCall call, MMRESULT result, unsigned count, unsigned skip = 0);
// Consulted by each waveOut call: the result it must fail with, or
// MMSYSERR_NOERROR when it runs normally.
MMRESULT fault_take_wave_out_failure(WaveOutCall call);
