// The process starts here rather than in the C runtime's start-up: the program
// takes no arguments and has no static constructors, so nothing is lost.
#include "app/app_main.h"
#include "platform/win32.h"

extern "C" void gridshow_entry() {
    const UINT exit_code = static_cast<UINT>(app_main());
    // The show's natural end leaves the window and the sound device open, and
    // letting every DLL run its detach code against them makes Wine's drivers
    // crash now and then on the way out (a segmentation fault instead of the
    // exit code). Nothing of the program's needs detaching, so end at once.
    TerminateProcess(GetCurrentProcess(), exit_code);
    ExitProcess(exit_code);
}
