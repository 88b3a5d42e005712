// Builds small S3M modules in memory for tests: header, orders, pointer
// tables, an optional pan table, sample headers, packed patterns and data,
// each part on a 16-byte boundary as the format's pointers require.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct S3mCell {
    int row = 0, channel = 0;
    std::uint8_t note = 255, instrument = 0;
    int volume = -1; // -1: none
    std::uint8_t command = 0, info = 0;
};

struct S3mSampleSpec {
    std::uint8_t type = 1; // 1 sample, 2 AdLib
    std::uint32_t frames = 0, loop_start = 0, loop_end = 0, c2spd = 8363;
    std::uint8_t volume = 64, flags = 0;     // flags: 1 loop, 2 stereo, 4 16-bit
    std::vector<std::uint8_t> data;          // stored bytes
    std::array<std::uint8_t, 12> fm_patch{}; // an AdLib instrument's registers
    std::uint16_t gus_address = 0;           // Scream Tracker's UltraSound address
};

struct S3mBuilder {
    std::string title = "s3m test";
    std::vector<std::uint8_t> orders{0};
    std::array<std::uint8_t, 32> channels{0,   8,   1,   9,   255, 255, 255, 255, 255, 255, 255,
                                          255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                          255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    std::uint8_t global = 64, speed = 6, tempo = 125, master = 0xB0;
    std::uint16_t flags = 0, version = 0x1320, sample_format = 2;
    std::vector<std::uint8_t> pans; // 32 bytes, or empty for no pan table
    std::vector<S3mSampleSpec> samples;
    std::vector<std::vector<S3mCell>> patterns{{}};
    std::vector<bool> absent_patterns; // true: pointer 0

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out(96, 0);
        std::copy(title.begin(), title.end(), out.begin());
        put16(out, 32, orders.size());
        put16(out, 34, samples.size());
        put16(out, 36, patterns.size());
        put16(out, 38, flags);
        put16(out, 40, version);
        put16(out, 42, sample_format);
        std::copy_n("SCRM", 4, out.begin() + 44);
        out[48] = global, out[49] = speed, out[50] = tempo, out[51] = master;
        out[53] = pans.empty() ? 0 : 252;
        std::copy(channels.begin(), channels.end(), out.begin() + 64);
        out.insert(out.end(), orders.begin(), orders.end());
        const std::size_t pointers = out.size();
        out.resize(out.size() + 2 * (samples.size() + patterns.size()));
        out.insert(out.end(), pans.begin(), pans.end());
        std::vector<std::size_t> headers;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            headers.push_back(align(out));
            put16(out, pointers + 2 * i, headers.back() / 16);
            out.resize(out.size() + 80);
        }
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            if (p < absent_patterns.size() && absent_patterns[p]) continue;
            const std::size_t start = align(out);
            put16(out, pointers + 2 * (samples.size() + p), start / 16);
            out.insert(out.end(), {0, 0});
            for (int row = 0; row < 64; ++row) {
                for (const S3mCell& c : patterns[p]) {
                    if (c.row != row) continue;
                    out.push_back(
                        static_cast<std::uint8_t>(c.channel | 0xA0 | (c.volume >= 0) << 6));
                    out.insert(out.end(), {c.note, c.instrument});
                    if (c.volume >= 0) out.push_back(static_cast<std::uint8_t>(c.volume));
                    out.insert(out.end(), {c.command, c.info});
                }
                out.push_back(0);
            }
            // The length word counts itself and the packed rows.
            put16(out, start, out.size() - start);
        }
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const S3mSampleSpec& s = samples[i];
            const std::size_t at = align(out), h = headers[i];
            out[h] = s.type;
            if (s.type == 2) {
                std::copy(s.fm_patch.begin(), s.fm_patch.end(),
                          out.begin() + static_cast<std::ptrdiff_t>(h + 16));
            } else {
                put16(out, h + 14, at / 16);
                put32(out, h + 16, s.frames);
                put32(out, h + 20, s.loop_start);
                put32(out, h + 24, s.loop_end);
            }
            out[h + 28] = s.volume, out[h + 31] = s.flags;
            put32(out, h + 32, s.c2spd);
            put16(out, h + 40, s.gus_address);
            std::copy_n("SCRS", 4, out.begin() + static_cast<std::ptrdiff_t>(h + 76));
            out.insert(out.end(), s.data.begin(), s.data.end());
        }
        return out;
    }

    static std::size_t align(std::vector<std::uint8_t>& out) {
        out.resize((out.size() + 15) / 16 * 16);
        return out.size();
    }
    static void put16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value) {
        out[at] = static_cast<std::uint8_t>(value),
        out[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    static void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
        put16(out, at, value & 0xFFFF), put16(out, at + 2, value >> 16);
    }
};
