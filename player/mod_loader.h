// The MOD loader: the show's module_load, the MOD layouts that the table of
// formats reads beyond the show's own, and the pieces worth checking alone.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// Loads MOD data (XM and S3M are recognised and refused). On failure returns
// null; a format failure leaves a NUL-terminated reason in load_message, an
// allocation failure leaves it untouched.
Module* module_load(const std::uint8_t* data, std::size_t length,
                    char load_message[load_message_size]);

// The key (25..96) of an Amiga period in 28..1712; 0 for any other period.
std::uint8_t period_to_key(std::int32_t period);

// How a MOD file is laid out: channels per pattern row, 31 sample headers
// (with a signature at 1080) or 15 (the oldest files, without one), and
// FLT8's eight-channel patterns stored as two four-channel halves.
struct ModLayout {
    std::int32_t channel_count;
    std::int32_t instrument_count;
    bool paired_patterns;
    bool pans = true; // 8xx pans: in every MOD but the show's song
};

// Where a 31-sample MOD carries its 4-byte signature.
constexpr std::size_t mod_signature_offset = 1080;

// The layout that a 31-sample MOD's signature at offset 1080 announces
// ("M.K.", "8CHN", "FLT8", "16CH", ...); false when there is none.
bool mod_signature_layout(const std::uint8_t* data, std::size_t length, ModLayout& layout);
// A MOD of 15 samples has no signature, so it must look like one: a song
// length of 1..128, order entries below 128, sample volumes up to 64,
// fine-tune bytes up to 15 and every pattern present.
bool mod_looks_like_15_samples(const std::uint8_t* data, std::size_t length);

// Loads MOD data of the given layout; null only when an allocation fails.
// Reads stay inside the data: missing bytes read as 0.
Module* mod_load(const std::uint8_t* data, std::size_t length, const ModLayout& layout);
// The length the headers announce: patterns and every sample's data.
std::uint64_t mod_announced_bytes(const std::uint8_t* data, std::size_t length,
                                  const ModLayout& layout);
