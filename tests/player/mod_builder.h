// Builds small four-channel "M.K." modules in memory for tests, so that no
// binary fixture has to be committed. Fields mirror the MOD layout: words are
// the format's 2-byte units, bytes are stored as given.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ModSampleHeader {
    std::string name;               // up to 22 bytes
    std::uint16_t length_words = 0; // length in 2-byte words
    std::uint8_t fine_tune = 0;     // low nibble used
    std::uint8_t volume = 64;       //
    std::uint16_t loop_start_words = 0;
    std::uint16_t loop_length_words = 1; // 1 = the usual "no loop" marker
    std::vector<std::int8_t> data;       // padded with zeros to the length
};

struct ModBuilder {
    std::string title;
    std::uint8_t song_length = 1;
    std::array<std::uint8_t, 128> order_list{};
    std::array<ModSampleHeader, 31> samples{};
    std::vector<std::array<std::uint8_t, 1024>> patterns;

    // Sample n, 1-based as in the format.
    ModSampleHeader& sample(int n) { return samples.at(n - 1); }

    // Writes one MOD note (period, instrument 0..31, effect nibble, parameter).
    void set_note(int pattern, int row, int channel, int period, int instrument, int effect = 0,
                  int param = 0) {
        if (patterns.size() <= static_cast<std::size_t>(pattern)) patterns.resize(pattern + 1);
        std::uint8_t* cell = &patterns[pattern][(row * 4 + channel) * 4];
        cell[0] = static_cast<std::uint8_t>((instrument & 0x10) | ((period >> 8) & 0x0F));
        cell[1] = static_cast<std::uint8_t>(period & 0xFF);
        cell[2] = static_cast<std::uint8_t>(((instrument & 0x0F) << 4) | (effect & 0x0F));
        cell[3] = static_cast<std::uint8_t>(param);
    }

    // Sets the order list and the song length to exactly these entries.
    void set_orders(std::initializer_list<int> entries) {
        order_list.fill(0);
        int i = 0;
        for (int entry : entries) order_list.at(i++) = static_cast<std::uint8_t>(entry);
        song_length = static_cast<std::uint8_t>(i);
    }

    // As many patterns as the loader reads: 1 + the highest order entry.
    int stored_pattern_count() const {
        int highest = 0;
        for (std::uint8_t entry : order_list) highest = std::max(highest, entry & 0x7F);
        return highest + 1;
    }

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out(1084, 0);
        std::copy_n(title.begin(), std::min<std::size_t>(title.size(), 20), out.begin());
        for (int n = 0; n < 31; ++n) {
            const ModSampleHeader& s = samples[n];
            std::uint8_t* h = &out[20 + 30 * n];
            std::copy_n(s.name.begin(), std::min<std::size_t>(s.name.size(), 22), h);
            put_word(h + 22, s.length_words);
            h[24] = s.fine_tune;
            h[25] = s.volume;
            put_word(h + 26, s.loop_start_words);
            put_word(h + 28, s.loop_length_words);
        }
        out[950] = song_length;
        out[951] = 127;
        std::copy(order_list.begin(), order_list.end(), out.begin() + 952);
        std::copy_n("M.K.", 4, out.begin() + 1080);
        for (int p = 0; p < stored_pattern_count(); ++p) {
            if (static_cast<std::size_t>(p) < patterns.size()) {
                out.insert(out.end(), patterns[p].begin(), patterns[p].end());
            } else {
                out.resize(out.size() + 1024, 0);
            }
        }
        for (const ModSampleHeader& s : samples) {
            std::size_t length = s.length_words * 2u;
            for (std::size_t i = 0; i < length; ++i) {
                out.push_back(i < s.data.size() ? static_cast<std::uint8_t>(s.data[i]) : 0);
            }
        }
        return out;
    }

  private:
    static void put_word(std::uint8_t* at, std::uint16_t value) {
        at[0] = static_cast<std::uint8_t>(value >> 8);
        at[1] = static_cast<std::uint8_t>(value & 0xFF);
    }
};
