// Loads test data through the format-picking entry into an owning pointer.
#pragma once
#include "player/module.h"
#include "player/module_formats.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AnyModuleDeleter {
    void operator()(Module* module) const { module_dispose(module); }
};
using AnyModulePtr = std::unique_ptr<Module, AnyModuleDeleter>;

inline AnyModulePtr load_any(const std::vector<std::uint8_t>& bytes, std::string* message = nullptr,
                             LoadedFormat* format = nullptr) {
    char load_message[load_message_size] = {};
    LoadedFormat found{};
    Module* module = module_load_any(bytes.data(), bytes.size(), load_message, found);
    if (message) *message = load_message;
    if (format) *format = found;
    return AnyModulePtr(module);
}
