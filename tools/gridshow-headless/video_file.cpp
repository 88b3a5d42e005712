#include "tools/gridshow-headless/video_file.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr int sound_rate = 48000;
constexpr int sound_frame = 960; // 20 ms, Opus's usual frame
constexpr std::int64_t sound_bit_rate = 160000;
constexpr int show_tick_ms = 16; // the show's own tick: 62.5 pictures a second
// A key picture every 10 s keeps seeking quick; between them the flat cells
// cost almost nothing.
constexpr int key_interval = 625;

// The picture encoder's choices for large flat grey cells: constant quality
// near lossless (the cells' edges stay sharp, a flat cell costs nearly
// nothing however fine the quality), the realtime deadline at its fastest
// speed (the content has no detail a slower search would find) and rows
// spread over the cores.
struct CodecOption {
    const char* name;
    const char* value;
};
constexpr CodecOption picture_options[] = {
    {"deadline", "realtime"}, {"cpu-used", "8"},     {"crf", "12"},          {"b", "0"},
    {"row-mt", "1"},          {"tile-columns", "2"}, {"lag-in-frames", "0"},
};

std::string av_problem(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

// Keeps the first failure: later ones follow from it.
void fail(VideoFile& video, const std::string& problem) {
    if (video.failure.empty()) video.failure = problem;
}

// The file's writer keeps the error of its last failed write (a full disk).
void check_written(VideoFile& video) {
    if (video.container->pb->error < 0)
        fail(video, av_problem("writing failed", video.container->pb->error));
}

// Everything the encoder has ready goes into the container.
void drain(VideoFile& video, AVCodecContext* codec, AVStream* stream) {
    for (;;) {
        int result = avcodec_receive_packet(codec, video.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
        if (result < 0) return fail(video, av_problem("encoding failed", result));
        av_packet_rescale_ts(video.packet, codec->time_base, stream->time_base);
        video.packet->stream_index = stream->index;
        result = av_interleaved_write_frame(video.container, video.packet);
        if (result < 0) return fail(video, av_problem("writing failed", result));
        check_written(video);
    }
}

void encode(VideoFile& video, AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    if (!video.failure.empty()) return;
    const int result = avcodec_send_frame(codec, frame);
    if (result < 0) return fail(video, av_problem("encoding failed", result));
    drain(video, codec, stream);
}

// The named encoder's context; null, and `problem` says why, if this FFmpeg
// lacks it.
AVCodecContext* new_encoder(const char* name, const char* kind, std::string& problem) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!codec) problem = std::string("no ") + kind + " encoder (" + name + ") in this FFmpeg";
    if (codec && !context) problem = "out of memory";
    return context;
}

void start_encoder(const VideoFile& video, AVCodecContext* context, AVDictionary** settings,
                   const char* kind, std::string& problem) {
    if (video.container->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int result = avcodec_open2(context, context->codec, settings);
    if (result < 0)
        problem =
            av_problem(("cannot start the " + std::string(kind) + " encoder").c_str(), result);
}

AVCodecContext* open_picture_codec(const VideoFile& video, std::string& problem) {
    AVCodecContext* context = new_encoder("libvpx-vp9", "VP9", problem);
    if (!context) return nullptr;
    context->width = video.width;
    context->height = video.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 1000};
    context->framerate = AVRational{1000, show_tick_ms};
    context->gop_size = key_interval;
    context->thread_count = 2;
    context->color_range = AVCOL_RANGE_JPEG;
    context->colorspace = AVCOL_SPC_SMPTE170M;
    context->color_primaries = AVCOL_PRI_SMPTE170M;
    context->color_trc = AVCOL_TRC_SMPTE170M;
    AVDictionary* settings = nullptr;
    for (const CodecOption& option : picture_options)
        av_dict_set(&settings, option.name, option.value, 0);
    start_encoder(video, context, &settings, "VP9", problem);
    av_dict_free(&settings);
    return context;
}

AVCodecContext* open_sound_codec(const VideoFile& video, std::string& problem) {
    AVCodecContext* context = new_encoder("libopus", "Opus", problem);
    if (!context) return nullptr;
    context->sample_rate = sound_rate;
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&context->ch_layout, 2);
    context->bit_rate = sound_bit_rate;
    context->time_base = AVRational{1, sound_rate};
    context->frame_size = sound_frame;
    start_encoder(video, context, nullptr, "Opus", problem);
    return context;
}

AVStream* add_stream(VideoFile& video, const AVCodecContext* codec) {
    AVStream* stream = avformat_new_stream(video.container, nullptr);
    if (stream) {
        avcodec_parameters_from_context(stream->codecpar, codec);
        stream->time_base = codec->time_base;
    }
    return stream;
}

bool allocate_frames(VideoFile& video) {
    video.packet = av_packet_alloc();
    video.picture = av_frame_alloc();
    video.sound = av_frame_alloc();
    if (!video.packet || !video.picture || !video.sound) return false;
    video.picture->format = AV_PIX_FMT_YUV420P;
    video.picture->width = video.width;
    video.picture->height = video.height;
    video.sound->format = AV_SAMPLE_FMT_S16;
    video.sound->nb_samples = sound_frame;
    av_channel_layout_default(&video.sound->ch_layout, 2);
    return av_frame_get_buffer(video.picture, 0) >= 0 && av_frame_get_buffer(video.sound, 0) >= 0;
}

// Releases everything, in the reverse order of opening.
void release(VideoFile& video) {
    av_frame_free(&video.sound);
    av_frame_free(&video.picture);
    av_packet_free(&video.packet);
    avcodec_free_context(&video.sound_codec);
    avcodec_free_context(&video.picture_codec);
    if (video.container) {
        if (video.container->pb) avio_closep(&video.container->pb);
        avformat_free_context(video.container);
        video.container = nullptr;
    }
}

// The screen's 0x00RRGGBB pixels as full-range BT.601 YUV 4:2:0, in
// integers: a grey comes out as itself, its chroma exactly neutral. The screen is
// large flat cells, so a row like the one above is copied and a pixel like
// the one before reuses its value: a fraction of a general converter's cost.
int luma(std::uint32_t p) {
    const int r = int(p >> 16 & 255), g = int(p >> 8 & 255), b = int(p & 255);
    return (77 * r + 150 * g + 29 * b + 128) >> 8;
}

// From a weighted sum of four pixels (weights of 256ths).
std::uint8_t chroma(int sum) {
    return std::uint8_t(std::min(((sum + 512) >> 10) + 128, 255));
}

bool same_row(const std::uint32_t* a, const std::uint32_t* b, int width) {
    return std::memcmp(a, b, std::size_t(width) * 4) == 0;
}

void convert_luma(const ScreenView& screen, std::uint8_t* plane, int stride) {
    for (int y = 0; y < screen.height; ++y) {
        const std::uint32_t* row = screen.pixels + std::ptrdiff_t(y) * screen.stride;
        std::uint8_t* out = plane + std::ptrdiff_t(y) * stride;
        if (y > 0 && same_row(row, row - screen.stride, screen.width)) {
            std::memcpy(out, out - stride, std::size_t(screen.width));
            continue;
        }
        std::uint32_t last = row[0];
        std::uint8_t value = std::uint8_t(luma(last));
        for (int x = 0; x < screen.width; ++x) {
            if (row[x] != last) last = row[x], value = std::uint8_t(luma(last));
            out[x] = value;
        }
    }
}

// Each chroma sample from the sums of its two by two pixels (an odd edge
// repeats its last pixel).
void convert_chroma(const ScreenView& screen, AVFrame& frame) {
    const std::ptrdiff_t pair = 2 * std::ptrdiff_t(screen.stride);
    for (int y = 0; y < (screen.height + 1) / 2; ++y) {
        const std::uint32_t* top = screen.pixels + y * pair;
        const std::uint32_t* bottom = 2 * y + 1 < screen.height ? top + screen.stride : top;
        std::uint8_t* us = frame.data[1] + std::ptrdiff_t(y) * frame.linesize[1];
        std::uint8_t* vs = frame.data[2] + std::ptrdiff_t(y) * frame.linesize[2];
        if (y > 0 && bottom == top + screen.stride && same_row(top, top - pair, screen.width) &&
            same_row(bottom, bottom - pair, screen.width)) {
            std::memcpy(us, us - frame.linesize[1], std::size_t(frame.linesize[1]));
            std::memcpy(vs, vs - frame.linesize[2], std::size_t(frame.linesize[2]));
            continue;
        }
        for (int x = 0; x < (screen.width + 1) / 2; ++x) {
            const int left = 2 * x, right = std::min(2 * x + 1, screen.width - 1);
            int r = 0, g = 0, b = 0;
            for (std::uint32_t p : {top[left], top[right], bottom[left], bottom[right]}) {
                r += int(p >> 16 & 255), g += int(p >> 8 & 255), b += int(p & 255);
            }
            us[x] = chroma(-43 * r - 85 * g + 128 * b);
            vs[x] = chroma(128 * r - 107 * g - 21 * b);
        }
    }
}

std::int64_t samples_after_origin(const VideoFile& video, std::uint64_t at_us) {
    return static_cast<std::int64_t>((at_us - video.origin_us) * sound_rate / 1000000);
}

void send_sound(VideoFile& video, int frames) {
    video.sound->nb_samples = frames;
    video.sound->pts = video.sound_start + static_cast<std::int64_t>(video.sound_frames_sent);
    encode(video, video.sound_codec, video.sound_stream, video.sound);
    video.sound_frames_sent += static_cast<std::uint64_t>(frames);
    video.sound_pending = 0;
}

// The first picture or sound given starts the file.
void set_origin(VideoFile& video, std::uint64_t at_us) {
    if (video.origin_us == UINT64_MAX) video.origin_us = at_us;
}

} // namespace

std::string video_open(VideoFile& video, const std::string& path, int width, int height) {
    video = VideoFile{};
    video.path = path;
    video.partial_path = path + ".part";
    video.width = width;
    video.height = height;
    video.origin_us = UINT64_MAX;
    av_log_set_level(AV_LOG_ERROR);
    std::string problem;
    if (avformat_alloc_output_context2(&video.container, nullptr, "webm", nullptr) < 0)
        return "no WebM writer in this FFmpeg";
    video.picture_codec = open_picture_codec(video, problem);
    if (problem.empty()) video.sound_codec = open_sound_codec(video, problem);
    if (problem.empty()) {
        video.picture_stream = add_stream(video, video.picture_codec);
        video.sound_stream = add_stream(video, video.sound_codec);
        if (!video.picture_stream || !video.sound_stream || !allocate_frames(video))
            problem = "out of memory";
    }
    if (problem.empty()) {
        const int result =
            avio_open(&video.container->pb, video.partial_path.c_str(), AVIO_FLAG_WRITE);
        if (result < 0) problem = av_problem(("cannot write \"" + path + "\"").c_str(), result);
    }
    if (problem.empty()) {
        const int result = avformat_write_header(video.container, nullptr);
        if (result < 0) problem = av_problem(("cannot write \"" + path + "\"").c_str(), result);
    }
    if (!problem.empty()) {
        const bool created = video.container && video.container->pb;
        release(video);
        if (created) std::remove(video.partial_path.c_str());
    }
    return problem;
}

void video_add_picture(VideoFile& video, std::uint64_t tick, std::uint64_t tick_us,
                       ScreenView screen) {
    if (!video.failure.empty()) return;
    set_origin(video, tick_us);
    if (video.first_tick == 0) {
        video.first_tick = tick;
        video.picture_start_ms = static_cast<std::int64_t>((tick_us - video.origin_us) / 1000);
    }
    // From the tick count: the show's time is ticks, whatever the clock did.
    video.picture->pts =
        video.picture_start_ms + show_tick_ms * static_cast<std::int64_t>(tick - video.first_tick);
    if (av_frame_make_writable(video.picture) < 0) return fail(video, "out of memory");
    convert_luma(screen, video.picture->data[0], video.picture->linesize[0]);
    convert_chroma(screen, *video.picture);
    encode(video, video.picture_codec, video.picture_stream, video.picture);
}

void video_add_sound(VideoFile& video, const std::int16_t* samples, std::uint64_t frames,
                     std::uint64_t start_us) {
    if (!video.failure.empty() || start_us == UINT64_MAX) return;
    // The device may start before the first tick without having played a
    // block by then: its start is the origin all the same.
    set_origin(video, start_us);
    if (video.sound_frames_sent == 0 && video.sound_pending == 0)
        video.sound_start = samples_after_origin(video, start_us);
    while (frames > 0) {
        if (video.sound_pending == 0 && av_frame_make_writable(video.sound) < 0)
            return fail(video, "out of memory");
        const auto take = static_cast<std::int32_t>(
            std::min<std::uint64_t>(frames, std::uint64_t(sound_frame - video.sound_pending)));
        std::memcpy(reinterpret_cast<std::int16_t*>(video.sound->data[0]) + 2 * video.sound_pending,
                    samples, std::size_t(take) * 4);
        samples += 2 * take;
        frames -= std::uint64_t(take);
        video.sound_pending += take;
        if (video.sound_pending == sound_frame) send_sound(video, sound_frame);
    }
}

bool video_finish(VideoFile& video) {
    if (video.sound_pending > 0) send_sound(video, video.sound_pending);
    encode(video, video.picture_codec, video.picture_stream, nullptr);
    encode(video, video.sound_codec, video.sound_stream, nullptr);
    if (video.failure.empty()) {
        const int result = av_write_trailer(video.container);
        if (result < 0) fail(video, av_problem("writing failed", result));
    }
    if (video.failure.empty()) {
        avio_flush(video.container->pb);
        check_written(video);
    }
    if (avio_closep(&video.container->pb) < 0) fail(video, "writing failed");
    release(video);
    if (video.failure.empty() && std::rename(video.partial_path.c_str(), video.path.c_str()) != 0)
        fail(video, "cannot name the finished file");
    if (!video.failure.empty()) std::remove(video.partial_path.c_str());
    return video.failure.empty();
}
