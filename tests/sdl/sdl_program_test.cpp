// gridshow itself on the SDL2 host, on a virtual X display (Xvfb) with SDL's
// dummy audio: the window appears, Escape ends the show through its teardown.
// Skipped where Xvfb or xdotool is not installed.
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Child {
    pid_t pid = -1;
    int output = -1; // read end of the child's standard error (or standard output)
};

// Starts `argv` with extra environment entries; `capture` picks which stream
// comes back through `output` (STDERR_FILENO or STDOUT_FILENO).
Child start(std::vector<std::string> argv, const std::vector<std::string>& environment,
            int capture) {
    Child child;
    int ends[2];
    if (pipe(ends) != 0) return child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(ends[1], capture);
        close(ends[0]);
        close(ends[1]);
        for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> pointers;
        pointers.reserve(argv.size() + 1);
        for (std::string& argument : argv) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
    close(ends[1]);
    child.output = ends[0];
    return child;
}

std::string read_all(int fd) {
    std::string text;
    char chunk[1024];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, std::size_t(got));
    close(fd);
    return text;
}

// The exit code, or -1 after `seconds` (the child is then killed).
int wait_for(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(100000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Runs a command to its end; callers bound it with timeout(1), since the pipe
// is read to its end first.
int run(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    Child child = start(argv, environment, STDOUT_FILENO);
    read_all(child.output);
    return wait_for(child.pid, 30);
}

bool installed(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0;
}

TEST(SdlProgram, ShowsItsWindowAndEndsOnEscapeThroughTheTeardown) {
    if (!installed("Xvfb") || !installed("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool";
    // Xvfb picks a free display and writes its number on the descriptor given.
    Child server =
        start({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x720x24", "-nolisten", "tcp"}, {},
              STDOUT_FILENO);
    std::string number;
    char digit;
    while (read(server.output, &digit, 1) == 1 && digit != '\n') number += digit;
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    std::string display = "DISPLAY=:" + number;

    Child show = start({GRIDSHOW_SDL_PATH},
                       {display, "SDL_AUDIODRIVER=dummy",
                        "LSAN_OPTIONS=print_suppressions=0:suppressions=" LSAN_SUPPRESSIONS},
                       STDERR_FILENO);
    Child search = start(
        {"timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--name", "gridshow"},
        {display}, STDOUT_FILENO);
    std::string found = read_all(search.output);
    wait_for(search.pid, 30);
    std::string window = found.substr(0, found.find('\n'));
    EXPECT_FALSE(window.empty()) << "no gridshow window appeared";
    EXPECT_EQ(run({"timeout", "30", "xdotool", "windowfocus", "--sync", window}, {display}), 0);
    EXPECT_EQ(run({"timeout", "30", "xdotool", "key", "Escape"}, {display}), 0);

    std::string log = read_all(show.output);
    EXPECT_EQ(wait_for(show.pid, 30), 0);
    EXPECT_EQ(log, "Audio initialized successfully using embedded data.\nAudio deinitialized.\n");
    kill(server.pid, SIGTERM);
    wait_for(server.pid, 10);
    close(server.output);
}

} // namespace
