// The process starts here rather than in the C runtime's start-up: the program
// takes no arguments and has no static constructors, so nothing is lost.
#include "app/app_state.h"

extern "C" void gridshow_entry() {
    ExitProcess(static_cast<UINT>(app_main()));
}
