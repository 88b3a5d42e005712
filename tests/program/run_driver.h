// Runs gridshow-headless as a child process, for tests of the whole program:
// its standard error, its exit code and, with a capture, the files it wrote.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
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
inline DriverRun run_driver(std::vector<std::string> arguments, bool capture = false) {
    DriverRun run;
    if (capture) {
        run.capture_dir = make_temp_dir("gridshow-capture");
        arguments.push_back("--capture");
        arguments.push_back(run.capture_dir);
    }
    int error_pipe[2];
    int output_pipe[2];
    if (pipe(error_pipe) != 0) return run;
    if (pipe(output_pipe) != 0) {
        close(error_pipe[0]);
        close(error_pipe[1]);
        return run;
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(error_pipe[1], STDERR_FILENO);
        dup2(output_pipe[1], STDOUT_FILENO);
        for (int end : {error_pipe[0], error_pipe[1], output_pipe[0], output_pipe[1]}) close(end);
        std::vector<char*> argv;
        std::string program = GRIDSHOW_HEADLESS_PATH;
        argv.push_back(program.data());
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        alarm(driver_time_limit_seconds); // survives the exec
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(error_pipe[1]);
    close(output_pipe[1]);
    // Both pipes at once, so that a child that fills one never blocks.
    pollfd ends[2] = {{error_pipe[0], POLLIN, 0}, {output_pipe[0], POLLIN, 0}};
    std::string* texts[2] = {&run.error_output, &run.standard_output};
    int open_ends = 2;
    while (open_ends > 0 && poll(ends, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0) continue;
            char chunk[4096];
            ssize_t got = read(ends[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                texts[i]->append(chunk, static_cast<std::size_t>(got));
            } else {
                close(ends[i].fd);
                ends[i].fd = -1;
                --open_ends;
            }
        }
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exit_code = WEXITSTATUS(status);
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
