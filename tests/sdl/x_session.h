// Processes for the tests of gridshow on a virtual X display: child
// processes with a captured stream, a private Xvfb on a display number it
// picks itself, a window manager on it, and the X server's own record of the
// show's window. Xlib stays in x_session.cpp: its macros clash with GoogleTest.
#pragma once
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Child {
    pid_t pid = -1;
    int output = -1; // read end of the child's standard error (or standard output)
};

// Starts `argv` with extra environment entries (a bare name removes the
// variable); `capture` picks which stream comes back through `output`
// (STDERR_FILENO or STDOUT_FILENO; -1: both go to /dev/null). With
// `own_group` the child and whatever it starts form a process group of their
// own, whose id is the child's.
inline Child start(std::vector<std::string> argv, const std::vector<std::string>& environment,
                   int capture, bool own_group = false) {
    Child child;
    int ends[2];
    if (pipe(ends) != 0) return child;
    child.pid = fork();
    if (child.pid == 0) {
        if (own_group) setpgid(0, 0);
        if (capture < 0) {
            int nothing = open("/dev/null", O_WRONLY);
            dup2(nothing, STDOUT_FILENO);
            dup2(nothing, STDERR_FILENO);
        } else {
            dup2(ends[1], capture);
        }
        close(ends[0]);
        close(ends[1]);
        for (const std::string& entry : environment) {
            std::string::size_type equals = entry.find('=');
            if (equals == std::string::npos)
                unsetenv(entry.c_str());
            else
                setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
        }
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

inline std::string read_all(int fd) {
    std::string text;
    char chunk[1024];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, std::size_t(got));
    close(fd);
    return text;
}

// The exit code once the child has ended, or -1 while it runs (and for a
// child that did not exit normally).
inline int poll_exit(Child& child, bool* ended) {
    int status = 0;
    *ended = waitpid(child.pid, &status, WNOHANG) == child.pid;
    if (*ended) child.pid = -1;
    return *ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The exit code, or -1 after `seconds` (the child is then killed).
inline int wait_for(Child& child, int seconds) {
    bool ended = false;
    for (int i = 0; i < seconds * 10; ++i) {
        int code = poll_exit(child, &ended);
        if (ended) return code;
        usleep(100000);
    }
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    child.pid = -1;
    return -1;
}

// Runs a command to its end; callers bound it with timeout(1), since the pipe
// is read to its end first.
inline int run(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    Child child = start(argv, environment, STDOUT_FILENO);
    read_all(child.output);
    return wait_for(child, 30);
}

inline bool installed(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0;
}

// Whether a window manager has announced itself on the display within
// `seconds`.
bool window_manager_announced(const std::string& display_name, int seconds);

// A private X server (and, if asked, a window manager on it), ended with the
// object. `variable` is empty when the server did not start.
struct VirtualDisplay {
    explicit VirtualDisplay(const char* screen, const char* window_manager = nullptr) {
        // Xvfb picks a free display and writes its number on the descriptor given.
        server = start({"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"}, {},
                       STDOUT_FILENO);
        std::string number;
        char digit;
        while (read(server.output, &digit, 1) == 1 && digit != '\n') number += digit;
        if (number.empty()) return;
        name = ":" + number;
        if (window_manager && !start_window_manager(window_manager)) return;
        variable = "DISPLAY=" + name;
    }
    ~VirtualDisplay() {
        if (manager.pid > 0) {
            // The manager, its session bus and what the bus started for it.
            pid_t group = manager.pid;
            kill(-group, SIGTERM);
            wait_for(manager, 10);
            kill(-group, SIGKILL);
            close(manager.output);
        }
        if (server.pid > 0) {
            kill(server.pid, SIGTERM);
            wait_for(server, 10);
            close(server.output);
        }
        if (!home.empty()) std::system(("rm -rf " + home).c_str());
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    std::string name;     // ":N"
    std::string variable; // "DISPLAY=:N"
    Child server;
    Child manager;
    std::string home; // the manager's own home folder, for its settings

  private:
    // Starts the manager with a session bus of its own (xfwm4 reads its
    // settings through it) in a fresh home folder, and waits until it has
    // announced itself on the root window.
    bool start_window_manager(const char* window_manager) {
        char folder[] = "/tmp/gridshow-wm.XXXXXX";
        if (!mkdtemp(folder)) return false;
        home = folder;
        manager = start({"dbus-run-session", "--", window_manager},
                        {"DISPLAY=" + name, "HOME=" + home, "XDG_CONFIG_HOME=" + home,
                         "NO_AT_BRIDGE=1", "SESSION_MANAGER"},
                        -1, true);
        return window_manager_announced(name, 30);
    }
};

// The X server's own record of the show's window (the one top-level window of
// `width` x `height`), from the root window's events: every move and every
// map, whatever the program believes.
class ShowWindowWatch {
  public:
    ShowWindowWatch(const std::string& display_name, int width, int height);
    ~ShowWindowWatch();
    ShowWindowWatch(const ShowWindowWatch&) = delete;
    ShowWindowWatch& operator=(const ShowWindowWatch&) = delete;

    // Takes in what happened since the last call.
    void take_events();

    unsigned long window = 0;
    int x = 0;
    int y = 0;
    bool mapped = false;
    int maps = 0;
    bool unmanaged = true;  // mapped only ever as a window no manager manages
    int leftmost = INT_MAX; // left edge while shown
    int rightmost = INT_MIN;

  private:
    void* display; // Xlib's Display
    int width;
    int height;
};
