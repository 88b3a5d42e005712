// The song bytes that the main window's creation loads. Zero means the
// embedded song; a driver may substitute other bytes before app_main (to test
// failures, or to watch the show to another song).
#pragma once
#include <cstddef>
#include <cstdint>

struct SongSource {
    bool substituted;
    const std::uint8_t* data;
    std::size_t length;
};

extern SongSource song_source;
