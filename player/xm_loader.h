// The XM loader (FastTracker 2 modules, format version 0x0104). It fills the
// same Module as the MOD loader, so the replay plays it with no test of its
// own: the XM note, volume column and effect numbers are already the codes
// the replay knows, instruments keep their key maps, envelopes, fade-out and
// auto-vibrato, and the samples become 16-bit with forward loops.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// Returns the module, or null: a refused file leaves a NUL-terminated reason
// in load_message (which the caller supplies zero-filled), a failed
// allocation leaves it untouched. Nothing stays allocated on failure.
// `announced` receives the length the file's headers announce (the end of
// the last sample's data), so that a caller can tell how much is missing.
Module* xm_load(const std::uint8_t* data, std::size_t length, char load_message[load_message_size],
                std::uint64_t& announced);
