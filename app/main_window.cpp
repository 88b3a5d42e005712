#include "app/app_state.h"
#include "app/song_source.h"
#include "base/diagnostics.h"
#include "player/embedded_song.h"
#include "player/player.h"

namespace {

constexpr std::int32_t replay_output_rate = 48000;
// Any entry at or past the song's end makes the sequence start over at entry 0:
// the show always begins the song from its top.
constexpr std::int32_t entry_that_starts_over = 8;
constexpr std::uint64_t first_grid_size = 1;
// The song unpacked, for module_load to read; the module keeps no pointer into it.
std::uint8_t unpacked_song[packed_song_capacity];

void write_load_failure(const char* load_message) {
    diag_lock();
    diag_write("player.module_load failed: ") && diag_write(load_message) && diag_write("\n");
    diag_unlock();
}

// Song, replay and audio, in that order. Every failure has released what it
// built except what the teardown releases.
ErrorName start_song_and_audio(HWND window) {
    AppState& state = app_state;
    char load_message[load_message_size] = {};
    state.module = song_source.substituted
                       ? module_load(song_source.data, song_source.length, load_message)
                       : packed_song_load(embedded_song_packed, embedded_song_packed_length,
                                          unpacked_song, sizeof unpacked_song, load_message);
    if (state.module == nullptr) {
        load_message[load_message_size - 1] = '\0'; // the line never reads past the buffer
        write_load_failure(load_message);
        return ErrorName::ModuleLoadFailed;
    }
    state.replay = new_replay(state.module, replay_output_rate, false);
    if (state.replay == nullptr) {
        diag_line("player.new_replay failed\n");
        module_dispose(state.module);
        state.module = nullptr;
        return ErrorName::ReplayInitFailed;
    }
    start_sequence_at(state.replay, entry_that_starts_over);
    return audio_init(state.audio, window, state.replay, state.module);
}

// Destroying the window runs the teardown now; the creation then fails and
// CreateWindowExA returns no window.
LRESULT fail_creation(HWND window, const char* prefix, ErrorName error) {
    diag_error_line(prefix, error);
    DestroyWindow(window);
    return -1;
}

LRESULT on_create(HWND window) {
    CellGrid& grid = app_state.grid;
    release_grid(grid);
    grid.cols = first_grid_size;
    grid.rows = first_grid_size;
    ErrorName error = start_song_and_audio(window);
    if (error != ErrorName::Ok)
        return fail_creation(window, "Audio initialization failed: ", error);
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    error = create_grid(grid, window, instance, grid.cols, grid.rows);
    if (error != ErrorName::Ok) {
        return fail_creation(window, "Initial 1x1 grid creation failed: ", error);
    }
    show_start(app_state.show, window);
    return 0;
}

void on_destroy(HWND window) {
    KillTimer(window, show_timer_id);
    release_grid(app_state.grid);
    audio_deinit(app_state.audio, app_state.replay, app_state.module);
    PostQuitMessage(0);
}

} // namespace

LRESULT CALLBACK ParentWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        return on_create(window);
    case WM_DESTROY:
        on_destroy(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_NCHITTEST:
        // Without a caption to grab, the user cannot drag the window.
        return hit_test_without_drag(window, message, wparam, lparam);
    case WM_KEYDOWN:
        if (wparam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_MOVE) return 0; // only the show moves the window
        return DefWindowProcA(window, message, wparam, lparam);
    case WM_TIMER:
        if (wparam == show_timer_id)
            show_tick(app_state.show, app_state.grid, app_state.replay, window);
        return 0;
    case MM_WOM_DONE:
        audio_refill_block(app_state.audio, app_state.replay, reinterpret_cast<WAVEHDR*>(lparam));
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}
