// Impulse Tracker modules (IMPM). Sample-mode songs play each sample as an
// instrument of its own; instrument-mode songs keep their key tables (the
// sample part), volume and panning envelopes and fade-out.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// True when the data starts with "IMPM".
bool it_signature(const std::uint8_t* data, std::size_t length);

// Loads IT data. A file cut inside its header or pointer tables is refused;
// past them a cut file loads as if zero-filled, with samples cut where their
// data ends. Returns null on failure: a refusal leaves its reason in
// load_message, an allocation failure leaves it as it was. `announced_end`
// receives the length the headers announce, also on a refusal.
Module* it_load(const std::uint8_t* data, std::size_t length, char load_message[load_message_size],
                std::uint64_t& announced_end);
