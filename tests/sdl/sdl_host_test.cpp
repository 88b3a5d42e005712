// The SDL2 host, on SDL's dummy drivers (no display, no sound card needed).
// The core is replaced by the platform_* functions below, which record what
// the host hands them.
#include "platform/host.h"
#include "platform/sdl/sdl_host.h"
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> core_calls;
std::vector<WAVEHDR*> finished_blocks;
std::thread::id finishing_thread;

} // namespace

void platform_input_key(UINT key, bool down, bool alt) {
    core_calls.push_back("key " + std::to_string(key) + (down ? " down" : " up") +
                         (alt ? " alt" : ""));
}
void platform_input_mouse(int x, int y, bool button_event, bool down) {
    core_calls.push_back("mouse " + std::to_string(x) + "," + std::to_string(y) +
                         (button_event ? (down ? " down" : " up") : " move"));
}
void platform_input_close(HWND window) {
    core_calls.push_back("close " + std::to_string(reinterpret_cast<std::uintptr_t>(window)));
}
void platform_input_restore(HWND window) {
    core_calls.push_back("restore " + std::to_string(reinterpret_cast<std::uintptr_t>(window)));
}
void platform_set_tick_presented_hook(void (*)()) {}
void platform_audio_block_done(WAVEHDR* header) {
    finished_blocks.push_back(header);
    finishing_thread = std::this_thread::get_id();
}

namespace {

constexpr int width = 64;
constexpr int height = 48;
HWND const main_window = reinterpret_cast<HWND>(std::uintptr_t(0x40));

class SdlHost : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(sdl_host_start()) << SDL_GetError();
        core_calls.clear();
        finished_blocks.clear();
        pixels.assign(width * height, 0x000000);
    }
    void TearDown() override {
        host_audio_close();
        host_window_destroyed(main_window);
    }

    void present(int x, int y, RECT dirty, bool visible = true, bool minimized = false) {
        host_present(HostWindowImage{main_window, RECT{x, y, x + width, y + height}, visible,
                                     minimized, pixels.data(), width, height, width, dirty, nullptr,
                                     0, nullptr});
    }
    // Lets the host run (events, due presents, finished blocks) for a while.
    static void run_host_for(std::chrono::milliseconds duration) {
        std::uint64_t end = host_time_us() + std::uint64_t(duration.count()) * 1000;
        while (host_time_us() < end) host_wait_until(end);
    }
    static std::uint32_t shown_pixel(int x, int y) {
        SDL_Surface* surface = SDL_GetWindowSurface(SDL_GetWindowFromID(window_id()));
        std::uint32_t pixel;
        std::memcpy(&pixel,
                    static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, 4);
        return pixel & 0xFFFFFF;
    }
    static std::uint32_t window_id() {
        HWND window;
        POINT origin;
        for (std::uint32_t id = 1; id < 16; ++id)
            if (sdl_windows_find(id, &window, &origin)) return id;
        return 0;
    }
    static void push_event(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); }

    std::vector<std::uint32_t> pixels;
};

TEST_F(SdlHost, CopiesOnlyWhatChangedAndPresentsAtMostOncePerRefresh) {
    std::fill(pixels.begin(), pixels.end(), 0x336699);
    present(10, 20, RECT{0, 0, width, height});
    run_host_for(std::chrono::milliseconds(40));
    std::uint64_t presents = sdl_windows_present_count();
    EXPECT_EQ(shown_pixel(5, 5), 0x336699u);

    std::fill(pixels.begin(), pixels.end(), 0xFFFFFF);
    present(10, 20, RECT{0, 0, 8, 8});
    present(10, 20, RECT{8, 8, 16, 16});
    EXPECT_LE(sdl_windows_present_count(), presents + 1) << "two changes in one refresh";
    run_host_for(std::chrono::milliseconds(40));
    EXPECT_EQ(shown_pixel(5, 5), 0xFFFFFFu);
    EXPECT_EQ(shown_pixel(12, 12), 0xFFFFFFu);
    EXPECT_EQ(shown_pixel(20, 20), 0x336699u) << "outside the dirty parts nothing is copied";

    presents = sdl_windows_present_count();
    present(10, 20, RECT{});
    run_host_for(std::chrono::milliseconds(40));
    EXPECT_EQ(sdl_windows_present_count(), presents) << "nothing changed, nothing presented";
}

TEST_F(SdlHost, CopiesJustTheFinerPiecesOfAChangeWhenGiven) {
    std::fill(pixels.begin(), pixels.end(), 0x336699);
    present(0, 0, RECT{0, 0, width, height});
    run_host_for(std::chrono::milliseconds(40));
    std::fill(pixels.begin(), pixels.end(), 0xFFFFFF);
    const RECT parts[] = {{0, 0, 4, 4}, {20, 20, 24, 24}};
    host_present(HostWindowImage{main_window, RECT{0, 0, width, height}, true, false, pixels.data(),
                                 width, height, width, RECT{0, 0, 24, 24}, parts, 2, nullptr});
    run_host_for(std::chrono::milliseconds(40));
    EXPECT_EQ(shown_pixel(2, 2), 0xFFFFFFu);
    EXPECT_EQ(shown_pixel(22, 22), 0xFFFFFFu);
    EXPECT_EQ(shown_pixel(10, 10), 0x336699u) << "inside the box but in no piece";
}

TEST_F(SdlHost, FlatPiecesAreFilledInTheOrderOfTheirLastChange) {
    present(0, 0, RECT{0, 0, width, height});
    run_host_for(std::chrono::milliseconds(40));
    // The core filled a cell red, its corner blue, then the whole cell green.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pixels[std::size_t(y) * width + std::size_t(x)] = 0x00FF00;
    const RECT parts[] = {{0, 0, 8, 8}, {0, 0, 4, 4}, {0, 0, 8, 8}};
    const std::uint32_t fills[] = {0xFF0000, 0x0000FF, 0x00FF00};
    host_present(HostWindowImage{main_window, RECT{0, 0, width, height}, true, false, pixels.data(),
                                 width, height, width, RECT{0, 0, 8, 8}, parts, 3, fills});
    run_host_for(std::chrono::milliseconds(40));
    EXPECT_EQ(shown_pixel(1, 1), 0x00FF00u);
    EXPECT_EQ(shown_pixel(6, 6), 0x00FF00u);

    // A cell and its corner named again and again before a refresh (the
    // first present goes at once), beside a cell named once: the entries
    // they leave behind are dropped on the way, the rest kept in order.
    const RECT other_cell[] = {{8, 8, 16, 16}};
    const std::uint32_t other_colour[] = {0x123456};
    const RECT cell_then_corner[] = {{0, 0, 8, 8}, {0, 0, 4, 4}};
    for (std::uint32_t i = 1; i <= 3000; ++i) {
        const std::uint32_t colours[] = {i, i + 0x010000};
        host_present(HostWindowImage{main_window, RECT{0, 0, width, height}, true, false,
                                     pixels.data(), width, height, width, RECT{0, 0, 8, 8},
                                     cell_then_corner, 2, colours});
        if (i == 1)
            host_present(HostWindowImage{main_window, RECT{0, 0, width, height}, true, false,
                                         pixels.data(), width, height, width, other_cell[0],
                                         other_cell, 1, other_colour});
    }
    run_host_for(std::chrono::milliseconds(40));
    EXPECT_EQ(shown_pixel(1, 1), 3000u + 0x010000u);
    EXPECT_EQ(shown_pixel(6, 6), 3000u);
    EXPECT_EQ(shown_pixel(12, 12), 0x123456u);
}

TEST_F(SdlHost, WindowsStandAtTheirScreenPlaceEvenOffScreen) {
    present(-30, 15, RECT{0, 0, width, height});
    int x = 0, y = 0;
    SDL_GetWindowPosition(SDL_GetWindowFromID(window_id()), &x, &y);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 15);
    EXPECT_TRUE(SDL_GetWindowFlags(SDL_GetWindowFromID(window_id())) & SDL_WINDOW_BORDERLESS);
}

TEST_F(SdlHost, KeysBecomeVirtualKeysWithTheirAltState) {
    present(0, 0, RECT{0, 0, width, height});
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLK_ESCAPE;
    push_event(event);
    event.key.keysym.sym = SDLK_F4;
    event.key.keysym.mod = KMOD_LALT;
    push_event(event);
    event.type = SDL_KEYUP;
    event.key.keysym.sym = SDLK_a;
    event.key.keysym.mod = KMOD_NONE;
    push_event(event);
    event.key.keysym.sym = SDLK_CAPSLOCK; // no key of ours: dropped
    push_event(event);
    run_host_for(std::chrono::milliseconds(20));
    EXPECT_EQ(core_calls,
              (std::vector<std::string>{"key 27 down", "key 115 down alt", "key 65 up"}));
}

TEST_F(SdlHost, MouseAndCloseRequestsArriveInScreenTerms) {
    present(100, 50, RECT{0, 0, width, height});
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.windowID = window_id();
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = 10;
    event.button.y = 20;
    push_event(event);
    event.type = SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_RIGHT; // only the left button counts
    push_event(event);
    event = SDL_Event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window_id();
    event.motion.x = 3;
    event.motion.y = 4;
    push_event(event);
    event = SDL_Event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = window_id();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    push_event(event);
    run_host_for(std::chrono::milliseconds(20));
    EXPECT_EQ(core_calls,
              (std::vector<std::string>{"mouse 110,70 down", "mouse 103,54 move", "close 64"}));
}

TEST_F(SdlHost, AWakeFromAnotherThreadEndsAWait) {
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        host_wake();
    });
    std::uint64_t start = host_time_us();
    host_wait_until(start + 5000000);
    EXPECT_LT(host_time_us() - start, 4000000u);
    waker.join();
}

TEST_F(SdlHost, AMinimiseTheDesktopNeverCarriesOutIsUndone) {
    present(0, 0, RECT{0, 0, width, height}, false, true);
    run_host_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(core_calls, (std::vector<std::string>{"restore 64"}));
}

// Blocks of `frames` stereo frames of silence.
struct TestBlocks {
    explicit TestBlocks(int count, int frames)
        : data(count, std::vector<std::int16_t>(2 * frames)) {
        for (std::vector<std::int16_t>& samples : data) {
            WAVEHDR header{};
            header.lpData = reinterpret_cast<char*>(samples.data());
            header.dwBufferLength = DWORD(samples.size() * 2);
            headers.push_back(header);
        }
    }
    std::vector<std::vector<std::int16_t>> data;
    std::vector<WAVEHDR> headers;
};

TEST_F(SdlHost, AudioBlocksPlayInOrderAndComeBackOnTheWaitingThread) {
    ASSERT_TRUE(host_audio_open()) << SDL_GetError();
    TestBlocks blocks(3, 1000);
    for (WAVEHDR& header : blocks.headers) host_audio_submit(&header);
    for (int i = 0; i < 100 && finished_blocks.size() < 3; ++i)
        run_host_for(std::chrono::milliseconds(20));
    ASSERT_EQ(finished_blocks.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(finished_blocks[i], &blocks.headers[i]);
    EXPECT_EQ(finishing_thread, std::this_thread::get_id());
}

TEST_F(SdlHost, AResetDropsQueuedBlocksWithoutReportingThem) {
    ASSERT_TRUE(host_audio_open()) << SDL_GetError();
    TestBlocks blocks(2, 48000);
    for (WAVEHDR& header : blocks.headers) host_audio_submit(&header);
    host_audio_reset();
    run_host_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(finished_blocks.empty());
}

} // namespace
