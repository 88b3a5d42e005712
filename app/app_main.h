// The program's entry point, called by each executable's own start-up (the
// Windows entry, the SDL main, the headless driver).
#pragma once

// Registers the classes, creates the main window, runs the message loop.
// Returns the exit code (0, or 1 when the main window could not be created).
int app_main();
