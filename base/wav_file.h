// A writer of 16-bit PCM WAV files, for hosts and tools that save rendered
// sound. Samples are interleaved per frame; the file is written as it goes, so
// a long rendering never needs to be held in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct WavFile {
    std::FILE* file;
    const char* path;
    std::uint32_t sample_rate;
    std::uint16_t channels;
    std::uint64_t samples_written;
    bool failed;
    bool regular;   // a regular file: sizes are written at the end and it is cut to size
    bool removable; // created from a path: removed when it cannot be finished
};

// Creates the file with a header that wav_finish completes; false (and no
// file left) if it cannot. An existing file is overwritten in place and cut
// to size at the end: emptying it at the start would first wait for its old
// contents to reach the disk. `path` must stay valid until wav_finish or
// wav_abandon. A path that is not a regular file (a pipe, a device) is
// written as a stream, as wav_open_stream does.
bool wav_open(WavFile& wav, const char* path, std::uint32_t sample_rate, std::uint16_t channels);
// Writes to an open stream, such as standard output, that stays open after
// wav_finish. Unless it is a regular file, the sizes cannot be written at the
// end: the header then carries the largest sizes, as streamed WAV does.
bool wav_open_stream(WavFile& wav, std::FILE* stream, std::uint32_t sample_rate,
                     std::uint16_t channels);
// Appends samples (a whole number of frames is expected of the caller).
bool wav_append(WavFile& wav, const std::int16_t* samples, std::size_t sample_count);
// Writes the final sizes and closes. False if any write failed or the data
// exceeds what a WAV file can describe (4 GiB); the file is then removed.
bool wav_finish(WavFile& wav);
// Closes and removes an unfinished file.
void wav_abandon(WavFile& wav);

// The whole file in one call.
bool wav_write_file(const char* path, const std::int16_t* samples, std::size_t sample_count,
                    std::uint32_t sample_rate, std::uint16_t channels);
