// gridshow-headless: the program on the headless host, with the same standard
// error and exit code as gridshow, plus options that set up the host around
// it (screen size, song, simulated input, faults) and capture what it showed
// and played.
#include "app/app_main.h"
#include "app/app_state.h"
#include "app/song_source.h"
#include "base/alloc_faults.h"
#include "base/process_exit.h"
#include "gridshow_version.h"
#include "platform/core/faults.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "player/sequencer.h"
#include "tools/gridshow-headless/capture.h"
#include "tools/gridshow-headless/hostile_input.h"
#include "tools/gridshow-headless/options.h"
#include "tools/gridshow-headless/video_file.h"
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

constexpr int teardown_leak_exit_code = 4;
constexpr int video_failed_exit_code = 5;

DriverOptions options;
std::vector<std::uint8_t> module_bytes;
Capture capture;
bool capturing = false;
VideoFile video;
bool filming = false;
std::uint64_t sound_filmed = 0; // samples of the played sound already in the video
std::uint64_t ticks = 0;

ScreenView screen_view(const std::vector<std::uint32_t>& screen) {
    return ScreenView{screen.empty() ? nullptr : screen.data(), options.screen_width,
                      options.screen_height, options.screen_width};
}

bool read_module(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    module_bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

void perform(PressKey key) {
    HWND window = headless_first_top_level_window();
    switch (key) {
    case PressKey::Escape:
        headless_press_key(VK_ESCAPE);
        break;
    case PressKey::AltF4:
        headless_press_key(VK_F4, true);
        break;
    case PressKey::A:
        headless_press_key('A');
        break;
    case PressKey::Close:
        headless_click_close_button(window);
        break;
    case PressKey::Minimize:
        headless_click_minimize_button(window);
        break;
    case PressKey::Restore:
        headless_restore(window);
        break;
    case PressKey::Drag:
        headless_drag_caption(window, 100, 50);
        break;
    case PressKey::CloseRequest:
        headless_request_close(window);
        break;
    case PressKey::KeyStorm:
    case PressKey::EscapeStorm:
        press_key_storm(key == PressKey::EscapeStorm);
        break;
    }
}

// The sound played since the last call, then (at a tick) its picture.
void film_sound() {
    std::uint64_t count = 0;
    const std::int16_t* samples = headless_audio_played(&count);
    if (count < sound_filmed) sound_filmed = 0; // the device was opened again
    video_add_sound(video, samples + sound_filmed, (count - sound_filmed) / 2,
                    headless_audio_started_us());
    sound_filmed = count;
}

void film(std::uint64_t tick) {
    film_sound();
    std::vector<std::uint32_t> screen = headless_screen();
    video_add_picture(video, tick, headless_now_us(), screen_view(screen));
}

bool finish_video() {
    if (!filming) return true;
    filming = false;
    if (video.first_tick == 0) {
        film(1); // a run that ended before its first tick: the screen it left
    } else {
        film_sound();
    }
    if (video_finish(video)) return true;
    std::fprintf(stderr, "gridshow-headless: could not write the video \"%s\": %s\n",
                 video.path.c_str(), video.failure.c_str());
    return false;
}

void on_tick(std::uint64_t tick) {
    ticks = tick;
    for (const Press& press : options.presses)
        if (press.tick == tick) perform(press.key);
    for (const Post& post : options.posts)
        if (post.tick == tick) post_hostile_messages(post.kind, headless_first_top_level_window());
    if (filming) film(tick);
    if (!capturing) return;
    RECT place{};
    bool has_window = GetWindowRect(headless_first_top_level_window(), &place) != 0;
    const ShowState& show = app_state.show;
    TickRecord record{tick,
                      show.phase,
                      show.effect_index,
                      show.effect_time,
                      app_state.replay != nullptr,
                      app_state.replay ? app_state.replay->order_counter : 0u,
                      has_window,
                      int(place.left),
                      int(place.top)};
    std::vector<std::uint32_t> screen;
    if (capture_wants_screen(capture, tick)) screen = headless_screen();
    capture_tick(capture, record, screen_view(screen));
}

void finish_capture(const char* ending) {
    if (!capturing) return;
    capturing = false;
    bool saved = headless_audio_save_wav((capture.dir + "/show.wav").c_str());
    std::vector<std::uint32_t> screen = headless_screen();
    if (!capture_finish(capture, ticks, ending, screen_view(screen)) || !saved)
        std::fprintf(stderr, "gridshow-headless: could not write the whole capture into %s\n",
                     capture.dir.c_str());
}

void report_allocations() {
    if (!options.count_allocations) return;
    std::printf("allocations %llu\n", static_cast<unsigned long long>(mem_allocation_count()));
    std::fflush(stdout);
}

// The process ends with its own nonzero code: a failed video adds its line.
void on_exit_process(unsigned exit_code) {
    finish_video();
    finish_capture(exit_code == 3 ? "FATAL STOP" : "EXIT");
    report_allocations();
}

// After the teardown (or a failed creation, whose teardown has run) the
// application state holds nothing; LeakSanitizer cannot see what is still
// referenced from it.
bool teardown_released_everything() {
    const AudioOutput& audio = app_state.audio;
    bool blocks_held = false;
    for (const AudioBlock& block : audio.blocks) blocks_held |= block.block_samples != nullptr;
    return app_state.module == nullptr && app_state.replay == nullptr && !audio.device_open &&
           audio.int_mix_buffer == nullptr && !blocks_held && app_state.grid.cells == nullptr;
}

int refuse(const std::string& problem) {
    std::fprintf(stderr, "gridshow-headless: %s\n%s\n", problem.c_str(), usage_text);
    return 2;
}

WaveOutCall wave_out_call(FaultKind kind) {
    switch (kind) {
    case FaultKind::WaveOutOpen:
        return WaveOutCall::Open;
    case FaultKind::WaveOutPrepareHeader:
        return WaveOutCall::PrepareHeader;
    case FaultKind::WaveOutWrite:
        return WaveOutCall::Write;
    case FaultKind::WaveOutReset:
        return WaveOutCall::Reset;
    case FaultKind::WaveOutUnprepareHeader:
        return WaveOutCall::UnprepareHeader;
    default:
        return WaveOutCall::Close;
    }
}

void arm(const Fault& fault) {
    switch (fault.kind) {
    case FaultKind::Alloc:
        mem_fail_nth_allocation(fault.value);
        break;
    case FaultKind::Defer:
        headless_refuse_begin_defer_window_pos(1);
        break;
    default:
        // Without a call number every call of that function fails: for
        // waveOutWrite the first one already ends the start.
        fault_wave_out(wave_out_call(fault.kind), MMRESULT(fault.value),
                       fault.call == 0 ? fault_every_call : 1,
                       fault.call == 0 ? 0 : unsigned(fault.call - 1));
        break;
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string problem = parse_options(argc, argv, options);
    if (!problem.empty()) return refuse(problem);
    if (options.version) {
        std::printf("gridshow-headless %s\n", gridshow_version);
        return 0;
    }
    if (!options.module_path.empty() && !read_module(options.module_path))
        return refuse("cannot read the module file \"" + options.module_path + "\"");
    if (!options.capture_dir.empty()) {
        if (!capture_begin(capture, options.capture_dir, options.every, options.screen_width,
                           options.screen_height))
            return refuse("cannot write into \"" + options.capture_dir + "\"");
        capturing = true;
    }
    if (!options.video_path.empty()) {
        const std::string video_problem =
            video_open(video, options.video_path, options.screen_width, options.screen_height);
        if (!video_problem.empty()) {
            std::fprintf(stderr, "gridshow-headless: %s\n", video_problem.c_str());
            return 2;
        }
        filming = true;
    }

    headless_set_screen_size(options.screen_width, options.screen_height);
    if (!options.module_path.empty())
        song_source = SongSource{true, module_bytes.data(), module_bytes.size()};
    headless_set_tick_observer(on_tick);
    platform_add_exit_hook(on_exit_process);
    for (const Fault& fault : options.faults) arm(fault);

    int exit_code = app_main();
    // The show's own end leaves the main window open; a close destroys it.
    bool torn_down = exit_code != 0 || !headless_first_top_level_window();
    const bool filmed = finish_video();
    finish_capture(exit_code != 0 ? "FAILED" : torn_down ? "CLOSED" : "END");
    report_allocations();
    if (torn_down && !teardown_released_everything()) {
        std::fputs("gridshow-headless: the teardown left resources held\n", stderr);
        return teardown_leak_exit_code;
    }
    return exit_code == 0 && !filmed ? video_failed_exit_code : exit_code;
}
