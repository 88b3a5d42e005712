// The diagnostic log on standard error: every line is written piece by piece
// between diag_lock and diag_unlock (a per-process lock, recursive per
// thread). A failed write drops the rest of its line and nothing else.
#pragma once
#include "base/errors.h"
#include <cstdint>

void diag_lock();
void diag_unlock();
// Both return false when the write failed (the caller skips the rest of the line).
bool diag_write(const char* text);
bool diag_write_uint(std::uint64_t value);

// One whole line, under the lock: prefix + "error." + name + "\n".
void diag_error_line(const char* prefix, ErrorName error);
// One whole line of plain text, under the lock.
void diag_line(const char* text);
// One whole line, under the lock: prefix + value + suffix.
void diag_line_uint(const char* prefix, std::uint64_t value, const char* suffix);
// One whole line, under the lock: prefix + first + middle + second + suffix.
void diag_line_uints(const char* prefix, std::uint64_t first, const char* middle,
                     std::uint64_t second, const char* suffix);

// The start-up failure report: "error: " + name + "\n".
void report_fatal_error(ErrorName error);
// The fatal stop: writes the panic lines and ends the process with code 3.
[[noreturn]] void panic(const char* message);
