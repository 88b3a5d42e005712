// Builds small XM modules (version 0x0104) in memory for tests and fuzz
// seeds, so that no binary fixture has to be committed. Fields mirror the XM
// layout; sample frames are given as values and delta-coded here, and notes
// are packed the way trackers pack them (an empty note in one byte, a full
// one unpacked, the rest with a mask byte).
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct XmSampleSpec {
    std::string name;
    std::vector<std::int16_t> frames; // 8-bit samples store value >> 8
    bool sixteen_bit = false;
    std::uint8_t loop_type = 0;                    // 0 none, 1 forward, 2 ping-pong
    std::uint32_t loop_start = 0, loop_length = 0; // frames
    std::uint8_t volume = 64;
    std::int8_t fine_tune = 0;
    std::uint8_t panning = 128;
    std::int8_t relative_note = 0;
};

struct XmEnvelopeSpec {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> points; // tick, value
    std::uint8_t sustain = 0, loop_start = 0, loop_end = 0;
    std::uint8_t type = 0; // bit 0 on, bit 1 sustain, bit 2 loop
};

struct XmInstrumentSpec {
    std::string name;
    std::array<std::uint8_t, 96> key_map{};
    XmEnvelopeSpec volume, panning;
    std::uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    std::uint16_t fadeout = 0;
    std::vector<XmSampleSpec> samples;
};

struct XmBuilder {
    std::string title;
    std::uint16_t version = 0x0104;
    std::uint16_t restart = 0;
    std::uint16_t channels = 4;
    std::uint16_t flags = 1; // linear frequency table
    std::uint16_t speed = 6, tempo = 125;
    std::vector<std::uint8_t> orders{0};
    std::vector<std::uint16_t> pattern_rows;                     // one entry per pattern
    std::vector<std::vector<std::array<std::uint8_t, 5>>> notes; // per pattern, row-major
    std::vector<XmInstrumentSpec> instruments;

    int add_pattern(int rows) {
        pattern_rows.push_back(static_cast<std::uint16_t>(rows));
        notes.emplace_back(static_cast<std::size_t>(rows) * channels);
        return static_cast<int>(pattern_rows.size()) - 1;
    }
    void set_note(int pattern, int row, int channel, int key, int instrument, int volume = 0,
                  int effect = 0, int param = 0) {
        notes.at(pattern).at(static_cast<std::size_t>(row) * channels + channel) = {
            static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(instrument),
            static_cast<std::uint8_t>(volume), static_cast<std::uint8_t>(effect),
            static_cast<std::uint8_t>(param)};
    }

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out;
        put_text(out, "Extended Module: ", 17);
        put_text(out, title, 20);
        out.push_back(0x1A);
        put_text(out, "builder", 20);
        put16(out, version);
        put32(out, 276);
        put16(out, static_cast<std::uint16_t>(orders.size()));
        put16(out, restart);
        put16(out, channels);
        put16(out, static_cast<std::uint16_t>(pattern_rows.size()));
        put16(out, static_cast<std::uint16_t>(instruments.size()));
        put16(out, flags);
        put16(out, speed);
        put16(out, tempo);
        for (std::size_t i = 0; i < 256; ++i) out.push_back(i < orders.size() ? orders[i] : 0);
        for (std::size_t p = 0; p < pattern_rows.size(); ++p) put_pattern(out, p);
        for (const XmInstrumentSpec& instrument : instruments) put_instrument(out, instrument);
        return out;
    }

  private:
    static void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    static void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
        put16(out, value & 0xFFFF);
        put16(out, value >> 16);
    }
    static void put_text(std::vector<std::uint8_t>& out, const std::string& text, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
        }
    }

    void put_pattern(std::vector<std::uint8_t>& out, std::size_t p) const {
        std::vector<std::uint8_t> packed;
        for (const auto& note : notes[p]) {
            std::uint8_t mask = 0x80;
            for (int field = 0; field < 5; ++field) {
                if (note[field] != 0) mask = static_cast<std::uint8_t>(mask | 1 << field);
            }
            if (mask == 0x9F) {
                packed.insert(packed.end(), note.begin(), note.end());
                continue;
            }
            packed.push_back(mask);
            for (int field = 0; field < 5; ++field) {
                if (note[field] != 0) packed.push_back(note[field]);
            }
        }
        put32(out, 9);
        out.push_back(0);
        put16(out, pattern_rows[p]);
        put16(out, static_cast<std::uint16_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    static void put_envelope_points(std::vector<std::uint8_t>& out, const XmEnvelopeSpec& e) {
        for (std::size_t i = 0; i < 12; ++i) {
            put16(out, i < e.points.size() ? e.points[i].first : 0);
            put16(out, i < e.points.size() ? e.points[i].second : 0);
        }
    }

    static void put_instrument(std::vector<std::uint8_t>& out, const XmInstrumentSpec& ins) {
        const bool has_samples = !ins.samples.empty();
        put32(out, has_samples ? 263 : 29);
        put_text(out, ins.name, 22);
        out.push_back(0);
        put16(out, static_cast<std::uint16_t>(ins.samples.size()));
        if (!has_samples) return;
        put32(out, 40);
        out.insert(out.end(), ins.key_map.begin(), ins.key_map.end());
        put_envelope_points(out, ins.volume);
        put_envelope_points(out, ins.panning);
        out.push_back(static_cast<std::uint8_t>(ins.volume.points.size()));
        out.push_back(static_cast<std::uint8_t>(ins.panning.points.size()));
        for (const XmEnvelopeSpec* e : {&ins.volume, &ins.panning}) {
            out.push_back(e->sustain);
            out.push_back(e->loop_start);
            out.push_back(e->loop_end);
        }
        out.push_back(ins.volume.type);
        out.push_back(ins.panning.type);
        out.push_back(ins.vibrato_type);
        out.push_back(ins.vibrato_sweep);
        out.push_back(ins.vibrato_depth);
        out.push_back(ins.vibrato_rate);
        put16(out, ins.fadeout);
        out.resize(out.size() + 22, 0); // reserved, up to the 263-byte header
        for (const XmSampleSpec& s : ins.samples) {
            const std::uint32_t width = s.sixteen_bit ? 2 : 1;
            put32(out, static_cast<std::uint32_t>(s.frames.size()) * width);
            put32(out, s.loop_start * width);
            put32(out, s.loop_length * width);
            out.push_back(s.volume);
            out.push_back(static_cast<std::uint8_t>(s.fine_tune));
            out.push_back(static_cast<std::uint8_t>(s.loop_type | (s.sixteen_bit ? 0x10 : 0)));
            out.push_back(s.panning);
            out.push_back(static_cast<std::uint8_t>(s.relative_note));
            out.push_back(0);
            put_text(out, s.name, 22);
        }
        for (const XmSampleSpec& s : ins.samples) {
            std::int32_t previous = 0;
            for (std::int16_t frame : s.frames) {
                const std::int32_t value = s.sixteen_bit ? frame : frame >> 8;
                const std::int32_t delta = value - previous;
                previous = value;
                if (s.sixteen_bit) {
                    put16(out, static_cast<std::uint16_t>(delta));
                } else {
                    out.push_back(static_cast<std::uint8_t>(delta));
                }
            }
        }
    }
};
