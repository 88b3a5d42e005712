// Scream Tracker 3 modules.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// True when the data carries the S3M signature "SCRM" at offset 44.
bool s3m_signature(const std::uint8_t* data, std::size_t length);

// Loads S3M data. Reads stay inside the data: a cut file loads as if
// zero-filled, with samples cut where their data ends. Returns null on
// failure: a refusal leaves its reason in load_message, an allocation failure
// leaves it as it was. `announced_end` receives the length that the headers
// announce (pointer tables and every sample's data), also on a refusal.
Module* s3m_load(const std::uint8_t* data, std::size_t length, char load_message[load_message_size],
                 std::uint64_t& announced_end);

// An effect letter (1 = A .. 26 = Z) and its parameter as the replay's code:
// A..V become 0x81..0x96, X (panning 0..0x80) the panning code 0x08 with
// the parameter doubled; anything else is no effect.
void s3m_effect(std::uint8_t command, std::uint8_t info, std::uint8_t& effect, std::uint8_t& param);
