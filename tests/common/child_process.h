// Runs a piece of test code in a forked child with its standard output and
// standard error on pipes, for behaviour that ends the process (fatal stops)
// or rewires its standard handles.
#pragma once
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ChildRun {
    std::string error_output;
    std::string standard_output;
    int exit_code = -1; // -1 when the child did not exit normally
};

// The child runs `body` and then exits with code 0 unless the body ended it.
template <class Body> ChildRun run_in_child(Body body) {
    ChildRun run;
    int error_pipe[2];
    int output_pipe[2];
    if (pipe(error_pipe) != 0 || pipe(output_pipe) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(error_pipe[1], STDERR_FILENO);
        dup2(output_pipe[1], STDOUT_FILENO);
        for (int end : {error_pipe[0], error_pipe[1], output_pipe[0], output_pipe[1]}) close(end);
        body();
        _exit(0);
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
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.exit_code = WEXITSTATUS(status);
    }
    return run;
}
