// The run's video, read back with the libraries that wrote it: its streams,
// a picture for every tick, the sound the capture holds, pictures that match
// the captured frames, and the bad cases (an unwritable path, a full disk).
#include "tests/common/png_image.h"
#include "tests/program/expected_log.h"
#include "tests/program/run_driver.h"
#include <algorithm>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

struct Decoded {
    bool opened = false;
    AVCodecID picture_codec = AV_CODEC_ID_NONE, sound_codec = AV_CODEC_ID_NONE;
    int width = 0, height = 0;
    std::vector<std::int64_t> picture_ms;               // each picture's time
    std::map<std::size_t, PngImage> pictures;           // the pictures asked for, as 0x00RRGGBB
    std::int64_t sound_samples = 0, sound_start_ms = 0; // per channel
};

AVCodecContext* open_decoder(const AVStream* stream) {
    AVCodecContext* codec =
        avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id));
    avcodec_parameters_to_context(codec, stream->codecpar);
    avcodec_open2(codec, codec->codec, nullptr);
    return codec;
}

PngImage to_rgb(const AVFrame* frame) {
    PngImage image;
    image.width = frame->width;
    image.height = frame->height;
    image.pixels.resize(std::size_t(frame->width) * frame->height);
    SwsContext* scaler =
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                       frame->height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
    const int* matrix = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler, matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix, 1, 0,
                             1 << 16, 1 << 16);
    auto* out = reinterpret_cast<std::uint8_t*>(image.pixels.data());
    const int stride = frame->width * 4;
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, &out, &stride);
    sws_freeContext(scaler);
    for (std::uint32_t& pixel : image.pixels) pixel &= 0x00FFFFFF;
    return image;
}

// Decodes the whole file, keeping the pictures whose numbers are in `wanted`.
Decoded decode(const std::string& path, const std::vector<std::size_t>& wanted) {
    Decoded result;
    av_log_set_level(AV_LOG_ERROR); // the decoder's notes on Opus's padding are no findings
    AVFormatContext* file = nullptr;
    if (avformat_open_input(&file, path.c_str(), nullptr, nullptr) < 0) return result;
    avformat_find_stream_info(file, nullptr);
    result.opened = file->nb_streams == 2;
    AVCodecContext* codecs[2] = {};
    for (unsigned i = 0; i < file->nb_streams && i < 2; ++i) {
        const AVStream* stream = file->streams[i];
        codecs[i] = open_decoder(stream);
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            result.picture_codec = stream->codecpar->codec_id;
            result.width = stream->codecpar->width;
            result.height = stream->codecpar->height;
        } else {
            result.sound_codec = stream->codecpar->codec_id;
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto take = [&](int index, bool flush) {
        AVCodecContext* codec = codecs[index];
        const AVStream* stream = file->streams[index];
        if (flush) avcodec_send_packet(codec, nullptr);
        while (avcodec_receive_frame(codec, frame) == 0) {
            const std::int64_t ms =
                av_rescale_q(frame->best_effort_timestamp, stream->time_base, AVRational{1, 1000});
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
                const std::size_t number = result.picture_ms.size();
                result.picture_ms.push_back(ms);
                if (std::find(wanted.begin(), wanted.end(), number) != wanted.end())
                    result.pictures[number] = to_rgb(frame);
            } else {
                if (result.sound_samples == 0) result.sound_start_ms = ms;
                result.sound_samples += frame->nb_samples;
            }
        }
    };
    while (av_read_frame(file, packet) >= 0) {
        const int index = packet->stream_index;
        if (index < 2 && avcodec_send_packet(codecs[index], packet) == 0) take(index, false);
        av_packet_unref(packet);
    }
    for (int index = 0; index < 2; ++index)
        if (codecs[index]) take(index, true);
    av_frame_free(&frame);
    av_packet_free(&packet);
    for (AVCodecContext*& codec : codecs) avcodec_free_context(&codec);
    avformat_close_input(&file);
    return result;
}

// The mean and largest difference of two pictures, over every channel.
std::pair<double, int> difference(const PngImage& a, const PngImage& b) {
    double sum = 0;
    int largest = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16}) {
            const int d =
                std::abs(int(a.pixels[i] >> shift & 255) - int(b.pixels[i] >> shift & 255));
            sum += d;
            largest = std::max(largest, d);
        }
    return {sum / (3.0 * double(a.pixels.size())), largest};
}

constexpr std::uint64_t static_figure_tick = 2000, plasma_tick = 2650;

TEST(Video, HoldsEveryTickAndTheCapturedSoundAndLooksLikeTheCapturedFrames) {
    const std::string dir = make_temp_dir("gridshow-video");
    const std::string path = dir + "/run.webm";
    DriverRun run =
        run_driver({"--screen", "800x600", "--press", "escape@2660", "--video", path}, true);
    ASSERT_EQ(run.exit_code, 0) << run.error_output;
    const std::size_t ticks = read_timeline(run.capture_dir).size() - 1;
    const Decoded video = decode(path, {static_figure_tick - 1, plasma_tick - 1});
    ASSERT_TRUE(video.opened);
    EXPECT_EQ(video.picture_codec, AV_CODEC_ID_VP9);
    EXPECT_EQ(video.sound_codec, AV_CODEC_ID_OPUS);
    EXPECT_EQ(std::pair(video.width, video.height), std::pair(800, 600));
    // One picture per tick, 16 ms apart, as the tick count says.
    ASSERT_EQ(video.picture_ms.size(), ticks);
    for (std::size_t i = 1; i < ticks; ++i)
        ASSERT_EQ(video.picture_ms[i], video.picture_ms[0] + std::int64_t(16 * i)) << i;
    // The sound: as long as the capture's WAV (44 bytes of header, 4 per frame),
    // beginning with the pictures (the device starts before the first tick).
    const auto wav_frames = std::int64_t(read_file(run.capture_dir + "/show.wav").size() - 44) / 4;
    EXPECT_NEAR(double(video.sound_samples), double(wav_frames), 960);
    EXPECT_LE(video.sound_start_ms, video.picture_ms[0]);
    EXPECT_LT(video.picture_ms[0] - video.sound_start_ms, 100);
    for (std::uint64_t tick : {static_figure_tick, plasma_tick}) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05llu.png", (unsigned long long)tick);
        const PngImage captured = read_png(run.capture_dir + name);
        ASSERT_EQ(captured.width, 800);
        const auto [mean, largest] = difference(video.pictures.at(tick - 1), captured);
        EXPECT_LT(mean, 1.0) << "tick " << tick << ", largest difference " << largest;
        std::printf("tick %llu: mean difference %.3f, largest %d\n", (unsigned long long)tick, mean,
                    largest);
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

// Ignored, the signal a write past the limit raises makes the write fail as
// on a full disk.
void limit_files_to_64_kib() {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(Video, BadPathsAndFullDisksGiveOneLineAndNoFileThatLooksComplete) {
    DriverRun unwritable = run_driver({"--video", "/no/such/folder/show.webm"});
    EXPECT_EQ(unwritable.exit_code, 2);
    EXPECT_EQ(std::count(unwritable.error_output.begin(), unwritable.error_output.end(), '\n'), 1)
        << unwritable.error_output;
    EXPECT_NE(unwritable.error_output.find("\"/no/such/folder/show.webm\""), std::string::npos);

    const std::string dir = make_temp_dir("gridshow-video");
    const std::string path = dir + "/full.webm";
    DriverRun full = run_driver({"--screen", "800x600", "--press", "escape@600", "--video", path},
                                false, limit_files_to_64_kib);
    EXPECT_EQ(full.exit_code, 5);
    EXPECT_EQ(full.error_output.substr(full.error_output.find(deinitialized_log) +
                                       std::strlen(deinitialized_log)),
              "gridshow-headless: could not write the video \"" + path +
                  "\": writing failed: File too large\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

// A run cut short by a fatal stop (the first grow-in tick's refused batch)
// still leaves its video: what the run showed.
TEST(Video, ARunThatFailsLeavesTheVideoOfWhatItShowed) {
    const std::string dir = make_temp_dir("gridshow-video");
    const std::string path = dir + "/failed.webm";
    DriverRun run = run_driver({"--screen", "320x240", "--fail", "defer", "--video", path}, true);
    EXPECT_EQ(run.exit_code, 3) << run.error_output;
    const Decoded video = decode(path, {});
    ASSERT_TRUE(video.opened);
    EXPECT_EQ(video.picture_ms.size(), read_timeline(run.capture_dir).size() - 1);
    EXPECT_GT(video.sound_samples, 0);
}

} // namespace
