// The browser build with the wave device's first reset refused: the teardown
// in WM_DESTROY then finds its blocks still held and waits for them with
// Sleep, inside a window procedure that Asyncify cannot unwind.
#include "app/app_main.h"
#include "platform/core/faults.h"
#include "platform/web/web_host.h"
#include <emscripten/emscripten.h>

extern "C" EMSCRIPTEN_KEEPALIVE int gridshow_run() {
    web_host_start();
    fault_wave_out(WaveOutCall::Reset, MMSYSERR_ERROR, 1);
    return app_main();
}
