// A block of 16-bit stereo PCM with its wave header, for the device tests.
#pragma once
#include "platform/win32.h"
#include <cstddef>
#include <cstdint>
#include <vector>

// `frames` stereo frames whose samples count up from `first`.
struct PcmBlock {
    std::vector<std::int16_t> samples;
    WAVEHDR header{};
    PcmBlock(std::size_t frames, std::int16_t first) : samples(frames * 2) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(first + i);
        }
        header.lpData = reinterpret_cast<LPSTR>(samples.data());
        header.dwBufferLength = static_cast<DWORD>(samples.size() * 2);
    }
};
