#include "base/errors.h"

const char* error_name_text(ErrorName error) {
    switch (error) {
    case ErrorName::Ok:
        return "Ok";
    case ErrorName::WindowCreationError:
        return "WindowCreationError";
    case ErrorName::ModuleLoadFailed:
        return "ModuleLoadFailed";
    case ErrorName::ReplayInitFailed:
        return "ReplayInitFailed";
    case ErrorName::WaveOutOpenFailed:
        return "WaveOutOpenFailed";
    case ErrorName::OutOfMemory:
        return "OutOfMemory";
    case ErrorName::WaveOutPrepareFailed:
        return "WaveOutPrepareFailed";
    case ErrorName::WaveOutWriteFailed:
        return "WaveOutWriteFailed";
    }
    return "Unknown";
}
