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

// The procedures of ParentWindowClass (the main window) and ChildWindowClass
// (the cells).
LRESULT CALLBACK ParentWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ChildWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The default hit test, with the caption answered as client area: neither the
// main window nor a cell is a drag handle.
LRESULT hit_test_without_drag(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
