// The whole show on the headless host, run once through gridshow-headless
// with a capture: its log, its exit code, and the capture's files.
#include "tests/common/png_image.h"
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr double tick_seconds = 0.015625; // the 64 Hz system clock
constexpr int block_frames = 4096;
constexpr std::uint32_t desktop_colour = 0x3A6EA5;

struct Wav {
    std::uint16_t format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

Wav read_wav(const std::string& path) {
    Wav wav;
    std::string bytes = read_file(path);
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return wav;
    std::memcpy(&wav.format, &bytes[20], 2);
    std::memcpy(&wav.channels, &bytes[22], 2);
    std::memcpy(&wav.rate, &bytes[24], 4);
    std::memcpy(&wav.bits, &bytes[34], 2);
    std::size_t data = bytes.find("data", 36);
    if (data == std::string::npos) return wav;
    std::uint32_t length = 0;
    std::memcpy(&length, &bytes[data + 4], 4);
    wav.samples.resize(length / 2);
    std::memcpy(wav.samples.data(), &bytes[data + 8], wav.samples.size() * 2);
    return wav;
}

// Consecutive equal values collapsed into one.
std::vector<std::string> runs_of(const std::vector<std::string>& values) {
    std::vector<std::string> runs;
    for (const std::string& value : values)
        if (runs.empty() || runs.back() != value) runs.push_back(value);
    return runs;
}

class FullShow : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Few frames: each test of the suite runs the show anew in its own process.
        run = new DriverRun(run_driver({"--every", "1000"}, true));
        timeline = new std::vector<std::vector<std::string>>(read_timeline(run->capture_dir));
    }
    static void TearDownTestSuite() {
        std::filesystem::remove_all(run->capture_dir);
        delete timeline;
        delete run;
    }
    static std::size_t ticks() { return timeline->size() - 1; }
    static const std::vector<std::string>& last_line() { return timeline->back(); }

    static DriverRun* run;
    static std::vector<std::vector<std::string>>* timeline;
};

DriverRun* FullShow::run = nullptr;
std::vector<std::vector<std::string>>* FullShow::timeline = nullptr;

TEST_F(FullShow, LogsEachHandOverAndEndsByItselfWithCodeZero) {
    EXPECT_EQ(run->error_output, std::string(started_log) + whole_show_log);
    EXPECT_EQ(run->exit_code, 0);
}

TEST_F(FullShow, TimelineFollowsEveryPhaseAndTheSongTickByTick) {
    ASSERT_GT(timeline->size(), 1u);
    EXPECT_EQ(timeline->front(),
              (std::vector<std::string>{"tick", "phase", "effect_index", "effect_time",
                                        "order_counter", "x", "y"}));
    std::vector<std::string> phases, effects_running;
    for (std::size_t i = 1; i < timeline->size(); ++i) {
        const std::vector<std::string>& line = (*timeline)[i];
        ASSERT_EQ(line.size(), 7u) << "line " << i;
        EXPECT_EQ(line[0], std::to_string(i));
        phases.push_back(line[1]);
        if (line[1] == "EffectRunning") effects_running.push_back(line[2]);
    }
    const std::vector<std::string> one_effect = {"GridResizing", "GridScalingUp", "EffectRunning",
                                                 "GridScalingDown"};
    std::vector<std::string> expected = {"WindowSlidingIn"};
    for (int effect = 0; effect < 3; ++effect)
        expected.insert(expected.end(), one_effect.begin(), one_effect.end());
    expected.insert(expected.end(), {"GridResizing", "GridScalingUp", "EffectRunning",
                                     "WindowScrollingOut", "ShowFinished"});
    EXPECT_EQ(runs_of(phases), expected);
    EXPECT_EQ(runs_of(effects_running), (std::vector<std::string>{"0", "1", "2", "3"}));
    long previous = 0;
    for (std::size_t i = 1; i < timeline->size(); ++i) {
        long order = std::stol((*timeline)[i][4]);
        EXPECT_GE(order, previous) << "tick " << i;
        previous = order;
    }
    EXPECT_EQ((*timeline)[1][4], "2"); // the replay was started twice
    EXPECT_EQ(last_line()[1], "ShowFinished");
    EXPECT_EQ(last_line()[5], "1920");
    EXPECT_EQ(last_line()[6], "108");
}

void expect_sound_of_the_whole_show(const DriverRun* run, std::size_t ticks) {
    SCOPED_TRACE("show.wav: everything the device played, a quarter second of silence first");
    Wav wav = read_wav(run->capture_dir + "/show.wav");
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 48000u);
    EXPECT_EQ(wav.bits, 16);
    double played = double(wav.samples.size() / 2) / 48000;
    EXPECT_NEAR(played, double(ticks) * tick_seconds, 3.0 * block_frames / 48000);
    ASSERT_GT(wav.samples.size(), 2u * 48000);
    auto first_sound = std::find_if(wav.samples.begin(), wav.samples.end(),
                                    [](std::int16_t sample) { return sample != 0; });
    EXPECT_GE(first_sound - wav.samples.begin(), 2 * 3 * block_frames);
    EXPECT_LT(first_sound - wav.samples.begin(), 2 * 48000);
}

void expect_frames_every_n_ticks_and_at_the_end(const DriverRun* run, std::size_t ticks) {
    SCOPED_TRACE("frames of the whole screen every 1000 ticks and at the end");
    std::size_t frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(run->capture_dir))
        frames += entry.path().filename().string().starts_with("frame-");
    EXPECT_EQ(frames, ticks / 1000 + (ticks % 1000 != 0));
    PngImage first = read_png(run->capture_dir + "/frame-01000.png");
    EXPECT_EQ(first.width, 1920);
    EXPECT_EQ(first.height, 1080);
    char last_name[32];
    std::snprintf(last_name, sizeof last_name, "/frame-%05zu.png", ticks);
    PngImage last = read_png(run->capture_dir + last_name);
    ASSERT_EQ(last.width, 1920);
    EXPECT_TRUE(std::all_of(last.pixels.begin(), last.pixels.end(), [](std::uint32_t pixel) {
        return pixel == desktop_colour;
    })) << "the window has left the screen";
}

void expect_contact_sheet_of_labelled_thumbnails(const DriverRun* run) {
    SCOPED_TRACE("contact sheet: a grid of labelled thumbnails");
    PngImage sheet = read_png(run->capture_dir + "/contact-sheet.png");
    constexpr int margin = 6, columns = 6, thumbnail_width = 240, thumbnail_height = 135;
    constexpr int label_height = 16;
    ASSERT_EQ(sheet.width, margin + columns * (thumbnail_width + margin));
    int cell_height = thumbnail_height + label_height + margin;
    ASSERT_EQ((sheet.height - margin) % cell_height, 0);
    int rows = (sheet.height - margin) / cell_height;
    EXPECT_GE(rows, 4);
    EXPECT_LE(rows * columns, 48 + columns);
    // The first thumbnail: the desktop around the window sliding in, then its label.
    EXPECT_EQ(sheet.at(margin + thumbnail_width - 1, margin), desktop_colour);
    int label_top = margin + thumbnail_height;
    bool label_drawn = false;
    for (int y = label_top; y < label_top + label_height; ++y)
        for (int x = margin; x < margin + thumbnail_width; ++x)
            label_drawn |= sheet.at(x, y) == 0xE0E0E0;
    EXPECT_TRUE(label_drawn);
}

TEST_F(FullShow, CaptureHoldsTheSoundTheFramesAndAContactSheet) {
    expect_sound_of_the_whole_show(run, ticks());
    expect_frames_every_n_ticks_and_at_the_end(run, ticks());
    expect_contact_sheet_of_labelled_thumbnails(run);
}

TEST(ShortenedShow, AClosedShowStillLeavesItsWholeCapture) {
    DriverRun run = run_driver({"--screen", "1366x768", "--press", "escape@230"}, true);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.error_output,
              "Audio initialized successfully using embedded data.\nAudio deinitialized.\n");
    auto timeline = read_timeline(run.capture_dir);
    ASSERT_EQ(timeline.size(), 231u);
    EXPECT_EQ(timeline.back()[0], "230");
    for (const char* frame : {"/frame-00050.png", "/frame-00200.png", "/frame-00230.png"}) {
        PngImage picture = read_png(run.capture_dir + frame);
        EXPECT_EQ(picture.width, 1366) << frame;
        EXPECT_EQ(picture.height, 768) << frame;
    }
    EXPECT_FALSE(std::filesystem::exists(run.capture_dir + "/frame-00120.png"));
    EXPECT_GT(read_png(run.capture_dir + "/contact-sheet.png").width, 0);
    EXPECT_GT(read_wav(run.capture_dir + "/show.wav").samples.size(), 0u);
    std::filesystem::remove_all(run.capture_dir);
}

TEST(ShortenedShow, AFatalStopStillLeavesItsWholeCapture) {
    DriverRun run = run_driver({"--fail", "defer"}, true);
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.error_output.find(" panic: BeginDeferWindowPos failed\n"), std::string::npos);
    auto timeline = read_timeline(run.capture_dir);
    ASSERT_GT(timeline.size(), 300u) << "the first grow-in comes after the slide-in";
    EXPECT_EQ(timeline.back()[1], "GridScalingUp");
    EXPECT_GT(read_png(run.capture_dir + "/contact-sheet.png").width, 0);
    EXPECT_GT(read_wav(run.capture_dir + "/show.wav").samples.size(), 0u);
    std::filesystem::remove_all(run.capture_dir);
}

} // namespace
