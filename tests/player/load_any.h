// Loads test data through the format-picking entry into an owning pointer.
#pragma once
#include "base/alloc_faults.h"
#include "player/module.h"
#include "player/module_formats.h"
#include <cstdint>
#include <gtest/gtest.h>
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

// Makes each allocation that loading `bytes` needs fail in turn: every
// failure must give no module and leave the message empty, and the
// sanitizers see anything left behind. Returns the allocations needed.
inline std::uint64_t
expect_clean_failure_at_every_allocation(const std::vector<std::uint8_t>& bytes) {
    const std::uint64_t before = mem_allocation_count();
    EXPECT_TRUE(load_any(bytes));
    const std::uint64_t needed = mem_allocation_count() - before;
    for (std::uint64_t n = 1; n <= needed; ++n) {
        mem_fail_nth_allocation(n);
        std::string message;
        EXPECT_FALSE(load_any(bytes, &message)) << n;
        EXPECT_EQ(message, "") << n;
    }
    mem_fail_nth_allocation(0);
    return needed;
}
