// gridshow in the browser: the same program as on the desktop. The page calls
// gridshow_run once per show, on a fresh instance, and awaits its exit code.
#include "app/app_main.h"
#include "platform/web/web_host.h"
#include <emscripten/emscripten.h>

extern "C" EMSCRIPTEN_KEEPALIVE int gridshow_run() {
    web_host_start();
    return app_main();
}
