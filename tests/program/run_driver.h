// Runs gridshow-headless as a child process, for tests of the whole program:
// its standard error, its exit code and, with a capture, the files it wrote.
#pragma once
#include "tests/common/child_process.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

struct DriverRun {
    std::string error_output;    // everything written to standard error
    std::string standard_output; // the driver's own reports (the program writes none)
    int exit_code = -1;          // -1 when the child did not exit normally
    std::string capture_dir;     // empty unless a capture was asked for
};

// A run that takes longer hangs: the child is ended and reports no exit code.
// Far beyond any show, even under the sanitizers or Valgrind on a busy
// machine, and below CTest's own time limit, so that the test says which run.
constexpr unsigned driver_time_limit_seconds = 900;

// A fresh, empty folder under the system's temporary folder.
inline std::string make_temp_dir(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return {};
    return buffer.data();
}

// Runs the driver with `arguments`; with `capture` set it adds
// "--capture DIR" for a fresh temporary DIR and reports it in the result.
// `prepare` runs in the child before the driver starts (limits, signals).
inline DriverRun run_driver(std::vector<std::string> arguments, bool capture = false,
                            void (*prepare)() = nullptr) {
    DriverRun run;
    if (capture) {
        run.capture_dir = make_temp_dir("gridshow-capture");
        arguments.emplace_back("--capture");
        arguments.push_back(run.capture_dir);
    }
    ChildRun child = run_in_child([&arguments, prepare] {
        if (prepare) prepare();
        std::vector<char*> argv;
        std::string program = GRIDSHOW_HEADLESS_PATH;
        argv.push_back(program.data());
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        alarm(driver_time_limit_seconds); // survives the exec
        execv(program.c_str(), argv.data());
        _exit(127);
    });
    run.error_output = std::move(child.error_output);
    run.standard_output = std::move(child.standard_output);
    run.exit_code = child.exit_code;
    return run;
}

// The whole content of a file, or an empty string when it cannot be read.
inline std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The capture's timeline.tsv as rows of tab-separated fields (header included).
inline std::vector<std::vector<std::string>> read_timeline(const std::string& capture_dir) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(read_file(capture_dir + "/timeline.tsv"));
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string field;
        while (std::getline(cells, field, '\t')) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}
