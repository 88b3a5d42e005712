// The gain every loader gives its module for its channel count.
#pragma once
#include <cstdint>

// 64 (normal) for up to four channels, then falling as 8 / sqrt(channels).
// Four full-volume channels at gain 64 fill the output range only when their
// peaks meet; more channels, each at that gain, would clip a busy song.
// Independent voices add up in power, not in amplitude, so a gain that falls
// with the square root of the channel count keeps a busy song of any channel
// count about as loud as a four-channel one, and the loaders of every format
// use it so that songs are comparable in level whatever their format.
std::int32_t mix_gain_for_channels(std::int32_t channel_count);
