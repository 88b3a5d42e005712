// The diagnostic log: number and error formats, the start-up failure report,
// the fatal stop and the standard-error lock.
#include "base/diagnostics.h"
#include "platform/win32.h"
#include "tests/common/child_process.h"
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/time.h>
#include <thread>

namespace {

const char* const panic_trace_line = "Unable to dump stack trace: debug info stripped\n";

TEST(DiagWriteUint, WritesPlainDecimalDigits) {
    ChildRun run = run_in_child([] {
        for (std::uint64_t value :
             {0ull, 9ull, 10ull, 99ull, 100ull, 4294967295ull, 18446744073709551615ull}) {
            diag_write_uint(value);
            diag_write(" ");
        }
    });
    EXPECT_EQ(run.error_output, "0 9 10 99 100 4294967295 18446744073709551615 ");
    EXPECT_EQ(run.exit_code, 0);
}

TEST(DiagLines, ErrorLinesCarryTheErrorNameAfterError) {
    ChildRun run = run_in_child([] {
        diag_error_line("Audio initialization failed: ", ErrorName::OutOfMemory);
        diag_error_line("a: ", ErrorName::WindowCreationError);
        diag_error_line("b: ", ErrorName::ModuleLoadFailed);
        diag_error_line("c: ", ErrorName::ReplayInitFailed);
        diag_error_line("d: ", ErrorName::WaveOutOpenFailed);
        diag_error_line("e: ", ErrorName::WaveOutPrepareFailed);
        diag_error_line("f: ", ErrorName::WaveOutWriteFailed);
    });
    EXPECT_EQ(run.error_output, "Audio initialization failed: error.OutOfMemory\n"
                                "a: error.WindowCreationError\n"
                                "b: error.ModuleLoadFailed\n"
                                "c: error.ReplayInitFailed\n"
                                "d: error.WaveOutOpenFailed\n"
                                "e: error.WaveOutPrepareFailed\n"
                                "f: error.WaveOutWriteFailed\n");
}

TEST(DiagLines, NumberedLinesPutTheNumbersBetweenTheTexts) {
    ChildRun run = run_in_child([] {
        diag_line_uint("waveOutOpen failed: ", 2, "\n");
        diag_line_uints("waveOutPrepareHeader failed for block ", 1, ": ", 4294967295u, "\n");
        diag_line_uint("!W", 5, "");
        diag_line("plain\n");
    });
    EXPECT_EQ(run.error_output, "waveOutOpen failed: 2\n"
                                "waveOutPrepareHeader failed for block 1: 4294967295\n"
                                "!W5plain\n");
}

TEST(DiagLines, StartUpFailureReportIsOneErrorLine) {
    ChildRun run = run_in_child([] { report_fatal_error(ErrorName::WindowCreationError); });
    EXPECT_EQ(run.error_output, "error: WindowCreationError\n");
    EXPECT_EQ(run.exit_code, 0); // the caller decides how to end
}

TEST(DiagLines, LongLinesArriveWholeThroughAPipe) {
    // Far more than a pipe holds, so the writes must wait for the reader.
    std::string line(300000, 'x');
    line.back() = '\n';
    ChildRun run = run_in_child([&line] {
        diag_line(line.c_str());
        diag_line("after\n");
    });
    EXPECT_EQ(run.error_output, line + "after\n");
}

TEST(DiagLines, WithoutStandardErrorWritesFailQuietlyAndTheProgramGoesOn) {
    ChildRun run = run_in_child([] {
        close(STDERR_FILENO);
        bool written = diag_write("lost");
        diag_error_line("lost: ", ErrorName::OutOfMemory);
        report_fatal_error(ErrorName::WindowCreationError);
        std::printf("%s", written ? "written" : "dropped");
        std::fflush(stdout);
    });
    EXPECT_EQ(run.standard_output, "dropped");
    EXPECT_EQ(run.exit_code, 0);
}

TEST(DiagLock, IsRecursiveInOneThreadAndReleasedAtTheOuterUnlock) {
    ChildRun run = run_in_child([] {
        diag_lock();
        diag_lock();
        diag_write("outer ");
        diag_line("inner ");
        diag_unlock();
        diag_write("still held\n");
        diag_unlock();
        // Another thread can take the lock now; a leaked depth would hang here.
        std::thread other([] { diag_line("other thread\n"); });
        other.join();
    });
    EXPECT_EQ(run.error_output, "outer inner still held\nother thread\n");
}

TEST(DiagLock, KeepsThePiecesOfOneLineTogetherAcrossThreads) {
    constexpr int lines_per_thread = 2000;
    ChildRun run = run_in_child([] {
        auto writer = [](const char* a, const char* b) {
            for (int i = 0; i < lines_per_thread; ++i) {
                diag_lock();
                diag_write(a);
                diag_write_uint(static_cast<std::uint64_t>(i));
                diag_write(b);
                diag_unlock();
            }
        };
        std::thread first(writer, "<first ", " first>\n");
        std::thread second(writer, "<second ", " second>\n");
        first.join();
        second.join();
    });
    int lines = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = run.error_output.find('\n', start)) != std::string::npos;
         start = end + 1, ++lines) {
        std::string line = run.error_output.substr(start, end - start);
        bool first = line.starts_with("<first ") && line.ends_with(" first>");
        bool second = line.starts_with("<second ") && line.ends_with(" second>");
        ASSERT_TRUE(first || second) << "interleaved line: " << line;
    }
    EXPECT_EQ(lines, 2 * lines_per_thread);
}

TEST(Panic, WritesTheThreadIdMessageAndTraceLineThenExitsWithCode3) {
    ChildRun run = run_in_child([] {
        std::printf("%u", static_cast<unsigned>(GetCurrentThreadId()));
        std::fflush(stdout);
        panic("BeginDeferWindowPos failed");
    });
    EXPECT_EQ(run.error_output, "thread " + run.standard_output +
                                    " panic: BeginDeferWindowPos failed\n" + panic_trace_line);
    EXPECT_EQ(run.exit_code, 3);
}

TEST(Panic, RaisedInsideAHeldLineTakesTheLockAgain) {
    ChildRun run = run_in_child([] {
        std::printf("%u", static_cast<unsigned>(GetCurrentThreadId()));
        std::fflush(stdout);
        diag_lock();
        diag_write("half a line, ");
        panic("stop");
    });
    EXPECT_EQ(run.error_output,
              "half a line, thread " + run.standard_output + " panic: stop\n" + panic_trace_line);
    EXPECT_EQ(run.exit_code, 3);
}

TEST(Panic, EndsAtOnceWhenItsFirstLineCannotBeWritten) {
    ChildRun run = run_in_child([] {
        close(STDERR_FILENO);
        panic("unheard");
    });
    EXPECT_EQ(run.exit_code, 3);
}

// The panic's first write goes to a full pipe and blocks; a timer signal then
// arrives in the middle of it and stands for a fault raised while the fatal
// stop is being written. The handler runs with its own signal unblocked, so a
// write that blocks again inside it is interrupted again.
int saved_error_output = -1;
int interruptions = 0;

void panic_into_a_full_pipe(void (*on_interrupt)(int)) {
    saved_error_output = dup(STDERR_FILENO);
    int full[2];
    if (pipe(full) != 0) return;
    fcntl(full[1], F_SETFL, O_NONBLOCK);
    char filler[4096] = {};
    while (write(full[1], filler, sizeof filler) > 0) {}
    fcntl(full[1], F_SETFL, 0);
    dup2(full[1], STDERR_FILENO);
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_NODEFER;
    sigaction(SIGALRM, &action, nullptr);
    itimerval every_20ms{{0, 20000}, {0, 20000}};
    setitimer(ITIMER_REAL, &every_20ms, nullptr);
    panic("first");
}

void panic_again_with_error_output_back(int) {
    if (++interruptions != 1) return;
    dup2(saved_error_output, STDERR_FILENO);
    panic("second");
}

void panic_twice_more(int) {
    ++interruptions;
    if (interruptions == 1) panic("second"); // its line blocks on the full pipe too
    if (interruptions != 2) return;
    dup2(saved_error_output, STDERR_FILENO);
    panic("third");
}

TEST(Panic, ASecondStopDuringTheFirstWritesOnlyTheRecursiveLine) {
    ChildRun run = run_in_child([] { panic_into_a_full_pipe(panic_again_with_error_output_back); });
    EXPECT_EQ(run.error_output, "aborting due to recursive panic\n");
    EXPECT_EQ(run.exit_code, 3);
}

TEST(Panic, AThirdStopEndsTheProcessWithoutWriting) {
    ChildRun run = run_in_child([] { panic_into_a_full_pipe(panic_twice_more); });
    EXPECT_EQ(run.error_output, "");
    EXPECT_EQ(run.exit_code, 3);
}

} // namespace
