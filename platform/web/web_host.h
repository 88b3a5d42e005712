// The browser host's own entry point and the seams between its files: the
// clock, waiting and input (web_events.cpp), presentation (web_windows.cpp)
// and the audio sink (web_audio.cpp). Each reaches the page (index.html)
// through the functions of web_library.js.
#pragma once

// Reads the page's viewport as the screen and starts measuring each tick's
// work. Call before the program runs.
void web_host_start();

// Hands the blocks the page has finished playing to the core (on the
// message-loop thread, between waits); returns how many.
int web_audio_deliver_finished();
