// What the whole show writes to standard error, hand-over by hand-over.
#pragma once
#include <string>

constexpr const char* started_log = "Audio initialized successfully using embedded data.\n";
constexpr const char* deinitialized_log = "Audio deinitialized.\n";
// What the start-up writes after every failed creation of the main window.
constexpr const char* startup_failure_lines = "Failed to create main window\n"
                                              "error: WindowCreationError\n";
// Every line after the start, up to the natural end.
constexpr const char* whole_show_log = "Effect 0 finished at order 4\n"
                                       "GridScalingDown (skipping to resize)\n"
                                       "Effect 1 finished at order 5\n"
                                       "GridScalingDown (skipping to resize)\n"
                                       "Effect 2 finished at order 7\n"
                                       "GridScalingDown (skipping to resize)\n"
                                       "Effect 3 finished at order 9\n"
                                       "Animation sequence finished.\n";

// The first `count` lines of whole_show_log.
inline std::string show_log_lines(int count) {
    const std::string whole = whole_show_log;
    std::size_t end = 0;
    for (int line = 0; line < count && end != std::string::npos; ++line)
        end = whole.find('\n', end) + 1;
    return whole.substr(0, end);
}
