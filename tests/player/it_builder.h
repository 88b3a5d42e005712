// Builds small IT modules in memory for tests and fuzz seeds. Headers are
// raw byte arrays that the caller fills at the format's offsets; build()
// lays out the header, orders, pointer tables, instruments, sample headers,
// patterns and sample data in that order and fills in every pointer.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

struct ItBuilder {
    std::array<std::uint8_t, 0xC0> header{'I', 'M', 'P', 'M'};
    std::vector<std::uint8_t> orders{0, 255};
    std::vector<std::vector<std::uint8_t>> instruments; // 554 bytes each
    std::vector<std::vector<std::uint8_t>> samples;     // 0x50 bytes each, "IMPS"
    std::vector<std::vector<std::uint8_t>> sample_data; // one per sample
    std::vector<std::vector<std::uint8_t>> patterns;    // packed rows
    std::vector<std::uint16_t> pattern_rows;

    ItBuilder() {
        header[0x2A] = 0x14; // Cmwt 2.14
        header[0x2B] = 0x02;
        header[0x2C] = 1 | 8; // stereo, linear slides
        header[0x30] = 128;
        header[0x31] = 64;
        header[0x34] = 128; // full panning separation
        header[0x32] = 6;
        header[0x33] = 125;
        for (int c = 0; c < 64; ++c) header[0x40 + c] = 32, header[0x80 + c] = 64;
    }
    std::vector<std::uint8_t>& add_sample(std::vector<std::uint8_t> data, std::uint8_t flags) {
        samples.emplace_back(0x50);
        samples.back()[0x12] = flags;
        samples.back()[0x11] = 64; // full global volume
        samples.back()[0x2E] = 1;  // signed
        put32(samples.back(), 0x30, static_cast<std::uint32_t>(data.size()));
        sample_data.push_back(std::move(data));
        return samples.back();
    }
    static void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
    }

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out(header.begin(), header.end());
        const auto count = [&](std::size_t at, std::size_t n) {
            out[at] = static_cast<std::uint8_t>(n), out[at + 1] = static_cast<std::uint8_t>(n >> 8);
        };
        count(0x20, orders.size());
        count(0x22, instruments.size());
        count(0x24, samples.size());
        count(0x26, patterns.size());
        out.insert(out.end(), orders.begin(), orders.end());
        const std::size_t tables = out.size();
        out.resize(tables + 4 * (instruments.size() + samples.size() + patterns.size()));
        std::size_t slot = tables;
        const auto place = [&](const std::vector<std::uint8_t>& part) {
            put32(out, slot, static_cast<std::uint32_t>(out.size()));
            slot += 4;
            out.insert(out.end(), part.begin(), part.end());
        };
        for (const auto& instrument : instruments) place(instrument);
        const std::size_t first_sample = out.size();
        for (const auto& sample : samples) place(sample);
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            std::vector<std::uint8_t> pattern(8);
            pattern[0] = static_cast<std::uint8_t>(patterns[p].size());
            pattern[1] = static_cast<std::uint8_t>(patterns[p].size() >> 8);
            pattern[2] = static_cast<std::uint8_t>(pattern_rows[p]);
            pattern.insert(pattern.end(), patterns[p].begin(), patterns[p].end());
            place(pattern);
        }
        for (std::size_t s = 0; s < samples.size(); ++s) {
            std::copy_n("IMPS", 4, out.begin() + static_cast<long>(first_sample + 0x50 * s));
            put32(out, first_sample + 0x50 * s + 0x48, static_cast<std::uint32_t>(out.size()));
            out.insert(out.end(), sample_data[s].begin(), sample_data[s].end());
        }
        return out;
    }
};
