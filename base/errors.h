// The program's closed set of error names. A fallible operation returns
// ErrorName::Ok or one of the others; callers pass it on or write a line.
#pragma once
#include <cstdint>

enum class ErrorName : std::uint8_t {
    Ok = 0,
    WindowCreationError,
    ModuleLoadFailed,
    ReplayInitFailed,
    WaveOutOpenFailed,
    OutOfMemory,
    WaveOutPrepareFailed,
    WaveOutWriteFailed,
};

// The name as written in the log, e.g. "OutOfMemory".
const char* error_name_text(ErrorName error);
