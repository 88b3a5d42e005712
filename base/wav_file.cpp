#include "base/wav_file.h"

#include <bit>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

static_assert(std::endian::native == std::endian::little,
              "samples are written as they lie in memory");

namespace {

constexpr std::uint32_t header_bytes = 44;

void put_u16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put_u32(unsigned char* at, std::uint32_t value) {
    put_u16(at, static_cast<std::uint16_t>(value));
    put_u16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Chunk ids are four bytes, not strings: no terminator is written.
void put_id(unsigned char* at, const char* id) {
    std::memcpy(at, id, 4);
}

void fill_header(unsigned char* header, const WavFile& wav, std::uint32_t data_bytes) {
    const std::uint16_t block_align = static_cast<std::uint16_t>(wav.channels * 2);
    put_id(header, "RIFF");
    put_u32(header + 4, header_bytes - 8 + data_bytes);
    put_id(header + 8, "WAVE");
    put_id(header + 12, "fmt ");
    put_u32(header + 16, 16);
    put_u16(header + 20, 1); // PCM
    put_u16(header + 22, wav.channels);
    put_u32(header + 24, wav.sample_rate);
    put_u32(header + 28, wav.sample_rate * block_align);
    put_u16(header + 32, block_align);
    put_u16(header + 34, 16);
    put_id(header + 36, "data");
    put_u32(header + 40, data_bytes);
}

// The RIFF size field must hold the whole file less its first 8 bytes.
constexpr std::uint64_t max_data_bytes = std::numeric_limits<std::uint32_t>::max() - header_bytes;

bool is_regular_file(std::FILE* file) {
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

// A stream's sizes are unknown until it ends, and a reader cannot wait.
constexpr std::uint32_t streaming_size = std::numeric_limits<std::uint32_t>::max();

// Closes the file (never a stream the caller opened); removes it only if it
// is a regular file created from a path, so that a failed write to a device
// such as /dev/full never deletes the device.
void close_and_remove(WavFile& wav) {
    if (wav.path) std::fclose(wav.file);
    wav.file = nullptr;
    if (wav.removable) std::remove(wav.path);
}

bool write_first_header(WavFile& wav) {
    unsigned char header[header_bytes];
    fill_header(header, wav, 0);
    if (!wav.regular) {
        put_u32(header + 4, streaming_size);
        put_u32(header + 40, streaming_size);
    }
    if (std::fwrite(header, 1, header_bytes, wav.file) == header_bytes) return true;
    wav_abandon(wav);
    return false;
}

} // namespace

bool wav_open(WavFile& wav, const char* path, std::uint32_t sample_rate, std::uint16_t channels) {
    wav = WavFile{nullptr, path, sample_rate, channels, 0, false, false, false};
    // Write-only, never truncated here: opened for reading too, a pipe would
    // have this process as a reader of its own and never break when the real
    // reader goes away.
    const int descriptor = open(path, O_WRONLY | O_CREAT, 0666);
    if (descriptor < 0) return false;
    wav.file = fdopen(descriptor, "wb");
    if (!wav.file) {
        close(descriptor);
        return false;
    }
    wav.regular = is_regular_file(wav.file);
    wav.removable = wav.regular;
    return write_first_header(wav);
}

bool wav_open_stream(WavFile& wav, std::FILE* stream, std::uint32_t sample_rate,
                     std::uint16_t channels) {
    wav = WavFile{stream, nullptr, sample_rate, channels, 0, false, false, false};
    wav.regular = is_regular_file(stream) && std::ftell(stream) == 0;
    return write_first_header(wav);
}

bool wav_append(WavFile& wav, const std::int16_t* samples, std::size_t sample_count) {
    if (wav.failed || !wav.file) return false;
    if ((wav.samples_written + sample_count) * 2 > max_data_bytes ||
        std::fwrite(samples, 2, sample_count, wav.file) != sample_count) {
        wav.failed = true;
        return false;
    }
    wav.samples_written += sample_count;
    return true;
}

bool wav_finish(WavFile& wav) {
    if (!wav.file) return false;
    if (!wav.failed && !wav.regular) {
        wav.failed = std::fflush(wav.file) != 0;
    } else if (!wav.failed) {
        unsigned char header[header_bytes];
        fill_header(header, wav, static_cast<std::uint32_t>(wav.samples_written * 2));
        const auto file_bytes = static_cast<off_t>(header_bytes + wav.samples_written * 2);
        wav.failed = std::fseek(wav.file, 0, SEEK_SET) != 0 ||
                     std::fwrite(header, 1, header_bytes, wav.file) != header_bytes ||
                     std::fflush(wav.file) != 0 ||
                     (wav.regular && ftruncate(fileno(wav.file), file_bytes) != 0);
    }
    if (wav.failed) {
        close_and_remove(wav);
        return false;
    }
    const bool closed = !wav.path || std::fclose(wav.file) == 0;
    wav.file = nullptr;
    if (!closed && wav.removable) std::remove(wav.path);
    return closed;
}

void wav_abandon(WavFile& wav) {
    if (wav.file) close_and_remove(wav);
}

bool wav_write_file(const char* path, const std::int16_t* samples, std::size_t sample_count,
                    std::uint32_t sample_rate, std::uint16_t channels) {
    WavFile wav;
    if (!wav_open(wav, path, sample_rate, channels)) return false;
    wav_append(wav, samples, sample_count);
    return wav_finish(wav);
}
