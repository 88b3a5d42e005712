// Runs gridshow-headless as a child process, for tests of the whole program:
// its standard error, its exit code and, with a capture, the files it wrote.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct DriverRun {
    std::string error_output; // everything written to standard error
    int exit_code = -1;       // -1 when the child did not exit normally
    std::string capture_dir;  // empty unless a capture was asked for
};

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
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDERR_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        std::vector<char*> argv;
        std::string program = GRIDSHOW_HEADLESS_PATH;
        argv.push_back(program.data());
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipe_ends[1]);
    char chunk[4096];
    ssize_t got;
    while ((got = read(pipe_ends[0], chunk, sizeof chunk)) > 0) run.error_output.append(chunk, got);
    close(pipe_ends[0]);
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
