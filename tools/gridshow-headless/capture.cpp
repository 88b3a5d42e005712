#include "tools/gridshow-headless/capture.h"
#include "platform/headless/headless.h"
#include <filesystem>

namespace {

// Short enough for a thumbnail's label.
const char* phase_label(ShowPhase phase) {
    switch (phase) {
    case ShowPhase::WindowSlidingIn:
        return "SLIDING IN";
    case ShowPhase::EffectRunning:
        return "EFFECT";
    case ShowPhase::GridScalingDown:
        return "SCALING DOWN";
    case ShowPhase::GridResizing:
        return "RESIZING";
    case ShowPhase::GridScalingUp:
        return "GROWING IN";
    case ShowPhase::WindowScrollingOut:
        return "SCROLLING OUT";
    case ShowPhase::ShowFinished:
        return "FINISHED";
    }
    return "?";
}

std::string tick_label(const TickRecord& record) {
    std::string label = std::to_string(record.tick) + " " + phase_label(record.phase);
    if (record.phase == ShowPhase::EffectRunning || record.phase == ShowPhase::GridScalingUp)
        label += " " + std::to_string(record.effect_index);
    return label;
}

void save_frame(Capture& capture, std::uint64_t tick, ScreenView screen) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05llu.png", (unsigned long long)tick);
    if (!headless_save_png((capture.dir + name).c_str(), screen.pixels, screen.width, screen.height,
                           screen.stride))
        capture.failed = true;
}

} // namespace

const char* show_phase_name(ShowPhase phase) {
    switch (phase) {
    case ShowPhase::WindowSlidingIn:
        return "WindowSlidingIn";
    case ShowPhase::EffectRunning:
        return "EffectRunning";
    case ShowPhase::GridScalingDown:
        return "GridScalingDown";
    case ShowPhase::GridResizing:
        return "GridResizing";
    case ShowPhase::GridScalingUp:
        return "GridScalingUp";
    case ShowPhase::WindowScrollingOut:
        return "WindowScrollingOut";
    case ShowPhase::ShowFinished:
        return "ShowFinished";
    }
    return "Unknown";
}

bool capture_begin(Capture& capture, const std::string& dir, std::uint64_t every, int screen_width,
                   int screen_height) {
    capture.dir = dir;
    capture.every = every;
    capture.failed = false;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    capture.timeline = std::fopen((dir + "/timeline.tsv").c_str(), "w");
    if (!capture.timeline) return false;
    std::fputs("tick\tphase\teffect_index\teffect_time\torder_counter\tx\ty\n", capture.timeline);
    contact_sheet_begin(capture.sheet, screen_width, screen_height, contact_sheet_first_interval);
    return true;
}

bool capture_wants_screen(const Capture& capture, std::uint64_t tick) {
    return tick % capture.every == 0 || contact_sheet_wants(capture.sheet, tick);
}

void capture_tick(Capture& capture, const TickRecord& record, ScreenView screen) {
    std::fprintf(capture.timeline, "%llu\t%s\t%llu\t%.3f\t", (unsigned long long)record.tick,
                 show_phase_name(record.phase), (unsigned long long)record.effect_index,
                 double(record.effect_time));
    if (record.has_replay)
        std::fprintf(capture.timeline, "%u", record.order_counter);
    else
        std::fputs("-", capture.timeline);
    if (record.has_window)
        std::fprintf(capture.timeline, "\t%d\t%d\n", record.window_x, record.window_y);
    else
        std::fputs("\t-\t-\n", capture.timeline);
    if (!screen.pixels) return;
    if (record.tick % capture.every == 0) save_frame(capture, record.tick, screen);
    if (contact_sheet_wants(capture.sheet, record.tick))
        contact_sheet_add(capture.sheet, record.tick, screen.pixels, screen.stride,
                          tick_label(record));
}

bool capture_finish(Capture& capture, std::uint64_t last_tick, const char* ending,
                    ScreenView screen) {
    bool saved_already = last_tick > 0 && last_tick % capture.every == 0;
    if (!saved_already) save_frame(capture, last_tick, screen);
    std::string label = std::to_string(last_tick) + " " + ending;
    std::vector<Thumbnail>& thumbnails = capture.sheet.thumbnails;
    if (!thumbnails.empty() && thumbnails.back().tick == last_tick)
        thumbnails.back().label += std::string(" ") + ending;
    else
        contact_sheet_add_last(capture.sheet, last_tick, screen.pixels, screen.stride, label);
    int width, height;
    std::vector<std::uint32_t> sheet = contact_sheet_compose(capture.sheet, &width, &height);
    if (!headless_save_png((capture.dir + "/contact-sheet.png").c_str(), sheet.data(), width,
                           height, width))
        capture.failed = true;
    if (std::fclose(capture.timeline) != 0) capture.failed = true;
    capture.timeline = nullptr;
    return !capture.failed;
}
