#include "tools/gridshow-headless/hostile_input.h"
#include "app/app_state.h"
#include "platform/headless/headless.h"
#include <cstdint>

namespace {

constexpr int storm_presses = 400;
constexpr int escape_every = 4; // in an Escape storm, every 4th press
constexpr int alt_every = 7;
// Letters, digits, space, Return, Tab, arrows, function keys and modifiers.
constexpr UINT storm_keys[] = {'A',  'Z',  'Q',  '0',  '9',  0x20, VK_RETURN, 0x09, 0x25, 0x26,
                               0x27, 0x28, 0x70, 0x74, 0x79, 0x10, 0x11,      0x12, 0x08, 0x2E};
constexpr std::size_t storm_key_count = sizeof storm_keys / sizeof storm_keys[0];

constexpr WPARAM foreign_timer_ids[] = {0, 2, 3, 0xFFFF, ~WPARAM{0}};
// Not a timer procedure: a call through it would crash.
const LPARAM bogus_procedure = static_cast<LPARAM>(0x0BAD0BAD);

WAVEHDR unrelated_header{};

void post_timers(HWND window, bool to_cell) {
    for (WPARAM id : foreign_timer_ids) {
        PostMessageA(window, WM_TIMER, id, 0);
        PostMessageA(window, WM_TIMER, id, bogus_procedure);
    }
    // The show's own id means nothing to a cell.
    if (to_cell) {
        PostMessageA(window, WM_TIMER, show_timer_id, 0);
        PostMessageA(window, WM_TIMER, show_timer_id, bogus_procedure);
    }
}

void post_done(HWND window, const void* address) {
    PostMessageA(window, MM_WOM_DONE, 0, reinterpret_cast<LPARAM>(address));
}

} // namespace

void press_key_storm(bool escapes) {
    for (int press = 0; press < storm_presses; ++press) {
        if (escapes && press % escape_every == 0) {
            headless_press_key(press % (escape_every * 3) == 0 ? VK_F4 : VK_ESCAPE,
                               press % (escape_every * 3) == 0);
            continue;
        }
        UINT key = storm_keys[std::size_t(press) % storm_key_count];
        // Alt with anything but F4 closes nothing.
        headless_press_key(key, key != VK_F4 && press % alt_every == 0);
    }
}

void post_hostile_messages(PostKind kind, HWND main_window) {
    const AudioOutput& audio = app_state.audio;
    switch (kind) {
    case PostKind::Timers:
        post_timers(main_window, false);
        for (std::uint64_t i = 0; i < app_state.grid.cell_count; ++i)
            post_timers(app_state.grid.cells[i].window, true);
        break;
    case PostKind::ForeignDone: {
        const auto* first_header = reinterpret_cast<const char*>(&audio.blocks[0].header);
        for (const void* address :
             {static_cast<const void*>(nullptr), static_cast<const void*>(&unrelated_header),
              static_cast<const void*>(first_header + 1), static_cast<const void*>(&audio),
              static_cast<const void*>(audio.blocks[1].block_samples),
              reinterpret_cast<const void*>(std::uintptr_t{1}),
              reinterpret_cast<const void*>(~std::uintptr_t{0})})
            post_done(main_window, address);
        break;
    }
    case PostKind::StaleDone:
        for (const AudioBlock& block : audio.blocks) post_done(main_window, &block.header);
        break;
    }
}
