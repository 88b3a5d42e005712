// A WebM file of a headless run: VP9 pictures, one per show tick, and Opus
// sound, the samples the device played. The file is written under a partial
// name and takes its own name only when video_finish succeeds, so a failed
// run never leaves a file that looks complete.
#pragma once
#include "tools/gridshow-headless/capture.h"
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;

struct VideoFile {
    std::string path;         // the finished file's name
    std::string partial_path; // what is written until the end
    int width;
    int height;
    AVFormatContext* container;
    AVCodecContext* picture_codec;
    AVCodecContext* sound_codec;
    AVStream* picture_stream;
    AVStream* sound_stream;
    AVFrame* picture;
    AVFrame* sound;
    AVPacket* packet;
    // Pictures and sound share one origin, the run's clock when the first of
    // them was given (callers give a tick's sound before its picture).
    std::uint64_t origin_us;
    std::uint64_t first_tick;
    std::int64_t picture_start_ms; // the first picture's time after the origin
    std::int64_t sound_start;      // the first sample's time, in samples after the origin
    std::uint64_t sound_frames_sent;
    std::int32_t sound_pending; // frames in `sound` not yet encoded
    std::string failure;        // the first failure while writing; empty while all is well
};

// Opens the partial file and both encoders. Returns "" or one line saying
// what is wrong (the folder cannot be written, an encoder is missing).
std::string video_open(VideoFile& video, const std::string& path, int width, int height);
// The picture of show tick `tick`, shown from `tick_us` (the run's clock at
// the tick; only the first sets the origin, later ones count ticks).
void video_add_picture(VideoFile& video, std::uint64_t tick, std::uint64_t tick_us,
                       ScreenView screen);
// More of the played sound: `frames` interleaved stereo frames (perhaps
// none yet), the first of all of them having played at `start_us` on the
// run's clock (UINT64_MAX: the device has not started).
void video_add_sound(VideoFile& video, const std::int16_t* samples, std::uint64_t frames,
                     std::uint64_t start_us);
// Flushes both encoders and closes the file; on success it takes its name.
// On any failure the partial file is removed and `failure` says why.
bool video_finish(VideoFile& video);
