// The command line of gridshow-headless: the screen, the song, simulated
// input, faults to inject and what to capture. The program itself takes no
// arguments; these only set up the host around it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class PressKey : std::uint8_t {
    Escape,
    Close,
    AltF4,
    Drag,
    Minimize,
    Restore,
    A,
    CloseRequest, // the desktop's close (taskbar, window list), wherever the window stands
    KeyStorm,     // hundreds of key presses in one tick, none of them Escape
    EscapeStorm,  // hundreds of key presses in one tick, Escape among them many times
};

struct Press {
    PressKey key;
    std::uint64_t tick; // after this many delivered show-timer ticks
};

// Messages that no system would send the program, posted to its windows.
enum class PostKind : std::uint8_t {
    Timers,      // WM_TIMER with ids other than the show's, to the main window and every cell
    ForeignDone, // MM_WOM_DONE naming addresses that are not a block's header
    StaleDone,   // MM_WOM_DONE again for every block header, whether played or not
};

struct Post {
    PostKind kind;
    std::uint64_t tick;
};

enum class FaultKind : std::uint8_t {
    WaveOutOpen,
    WaveOutPrepareHeader,
    WaveOutWrite,
    WaveOutReset,
    WaveOutUnprepareHeader,
    WaveOutClose,
    Alloc,
    Defer,
};

struct Fault {
    FaultKind kind;
    std::uint64_t value; // the result code, or the allocation's number
    std::uint64_t call;  // waveOut calls: only this one (1 = the first); 0: every call
};

struct DriverOptions {
    int screen_width = 1920;
    int screen_height = 1080;
    std::string module_path; // empty: the embedded song
    std::vector<Press> presses;
    std::vector<Post> posts;
    std::vector<Fault> faults;
    std::string capture_dir; // empty: no capture
    std::uint64_t every = 50;
    std::string video_path;         // empty: no video
    bool count_allocations = false; // at exit, "allocations N" on standard output
    bool version = false;           // print the version instead of running
};

// Fills `options` from the command line; returns "" or the one line (without
// the tool's name) that says what is wrong with it.
std::string parse_options(int argc, char** argv, DriverOptions& options);

// The one-line usage message, without its line end.
extern const char* const usage_text;
