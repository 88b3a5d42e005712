// Window classes and the creation and destruction of windows.
#pragma once

// Destroys every top-level window (with its children), as a reset does.
void destroy_all_windows();
