// The browser host's own entry point and the seams between its files: the
// clock, waiting and input (web_events.cpp), presentation (web_windows.cpp)
// and the audio sink (web_audio.cpp). Each reaches the page (index.html)
// through the functions of web_library.js.
#pragma once
#include <cstdint>

// The page knows the program's records by their addresses, and web_library.js
// reads the program's memory at the addresses it is given: both cross as
// 32-bit numbers, as wasm32 has them.
static_assert(sizeof(void*) == sizeof(int) && sizeof(std::uintptr_t) == sizeof(int),
              "addresses cross to the page as 32-bit numbers");

// The number by which the page knows `object`, and back.
template <typename Pointer> int page_id(Pointer object) {
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(object));
}
template <typename Pointer> Pointer from_page_id(int id) {
    return reinterpret_cast<Pointer>(static_cast<std::uintptr_t>(id));
}

// Reads the page's viewport as the screen and starts measuring each tick's
// work. Call before the program runs.
void web_host_start();

// Hands the blocks the page has finished playing to the core (on the
// message-loop thread, between waits); returns how many.
int web_audio_deliver_finished();
