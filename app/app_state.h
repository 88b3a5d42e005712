// The one process-wide application state, zero at program start and owned by
// the main window procedure.
#pragma once
#include "audio/audio_output.h"
#include "grid/cell_grid.h"
#include "show/show_state.h"

struct Module;
struct Replay;

struct AppState {
    CellGrid grid;
    Module* module;
    Replay* replay;
    AudioOutput audio;
    ShowState show;
};

extern AppState app_state;

LRESULT CALLBACK ParentWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The program's entry point: registers the classes, creates the main window,
// runs the message loop. Returns the exit code (0, or 1 when the main window
// could not be created).
int app_main();
