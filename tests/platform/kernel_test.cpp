// The layer's kernel32 services: writing to the standard-error handle, process
// exit, thread ids, the module handle, the exclusive lock, waiting on an
// address and interlocked counts.
#include "base/process_exit.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Points the process's standard error at a pipe for the life of the object.
class StderrToPipe {
  public:
    StderrToPipe() {
        EXPECT_EQ(pipe(ends_), 0);
        saved_ = dup(STDERR_FILENO);
        dup2(ends_[1], STDERR_FILENO);
    }
    ~StderrToPipe() {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        close_reader();
        close(ends_[1]);
    }
    std::string read_available() {
        fcntl(ends_[0], F_SETFL, O_NONBLOCK);
        std::string text;
        char chunk[4096];
        for (ssize_t n; (n = read(ends_[0], chunk, sizeof chunk)) > 0;) text.append(chunk, n);
        return text;
    }
    void close_reader() {
        if (ends_[0] >= 0) close(ends_[0]);
        ends_[0] = -1;
    }
    // Makes writes that do not fit fail at once instead of blocking.
    void make_small_and_nonblocking() {
        fcntl(ends_[1], F_SETPIPE_SZ, 4096);
        fcntl(STDERR_FILENO, F_SETFL, O_NONBLOCK);
    }

  private:
    int ends_[2] = {-1, -1};
    int saved_ = -1;
};

BOOL write_text(HANDLE handle, const std::string& text, DWORD* written) {
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), written, nullptr);
}

// Runs `body` in a child process; returns its exit status (-1 if it did not exit).
template <typename Body> int exit_code_of_child(Body body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(100);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(StandardError, WriteFileWritesEveryByteToTheHandleAndReportsTheCount) {
    StderrToPipe redirect;
    DWORD written = 12345;
    EXPECT_TRUE(write_text(GetStdHandle(STD_ERROR_HANDLE), "thread 42 panic\n", &written));
    EXPECT_EQ(written, 16u);
    EXPECT_EQ(redirect.read_available(), "thread 42 panic\n");
}

TEST(StandardError, WriteFileReportsAPartialWriteAndThenTheFailure) {
    StderrToPipe redirect;
    redirect.make_small_and_nonblocking();
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    const std::string big(10000, 'x');
    DWORD written = 0;
    ASSERT_TRUE(write_text(handle, big, &written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    EXPECT_FALSE(write_text(handle, big, &written)); // the pipe is full now
    EXPECT_EQ(written, 0u);
}

TEST(StandardError, WriteToAPipeWithoutReaderFailsInsteadOfEndingTheProcess) {
    StderrToPipe redirect;
    redirect.close_reader();
    DWORD written = 7;
    EXPECT_FALSE(write_text(GetStdHandle(STD_ERROR_HANDLE), "lost\n", &written));
    EXPECT_EQ(written, 0u);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "the write left a pipe signal behind";
}

TEST(StandardError, WritesToMissingOrInvalidHandlesFail) {
    DWORD written = 7;
    EXPECT_FALSE(write_text(nullptr, "x", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(write_text(INVALID_HANDLE_VALUE, "x", &written));
    EXPECT_EQ(GetStdHandle(0x1234), INVALID_HANDLE_VALUE);
    // A process started without standard error has no handle for it.
    EXPECT_EQ(exit_code_of_child([] {
                  close(STDERR_FILENO);
                  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
                  DWORD count = 0;
                  _exit(handle == nullptr && !write_text(handle, "x", &count) ? 0 : 1);
              }),
              0);
}

TEST(ProcessExit, EndsWithTheCodeWithoutFlushingTheProgramsBuffers) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_EQ(exit_code_of_child([&] {
                  dup2(ends[1], STDOUT_FILENO);
                  std::printf("buffered text");
                  ExitProcess(3);
              }),
              3);
    close(ends[1]);
    char byte;
    EXPECT_EQ(read(ends[0], &byte, 1), 0) << "ExitProcess flushed stdio";
    close(ends[0]);
}

TEST(ProcessExit, RunsTheHostsHooksLastRegisteredFirstWithTheCode) {
    static int hook_pipe;
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    hook_pipe = ends[1];
    EXPECT_EQ(exit_code_of_child([] {
                  platform_add_exit_hook([](unsigned code) {
                      const char text[] = {'A', static_cast<char>('0' + code)};
                      EXPECT_EQ(write(hook_pipe, text, 2), 2);
                  });
                  platform_add_exit_hook([](unsigned) { EXPECT_EQ(write(hook_pipe, "B", 1), 1); });
                  ExitProcess(1);
              }),
              1);
    close(ends[1]);
    char text[8] = {};
    EXPECT_EQ(read(ends[0], text, sizeof text), 3);
    EXPECT_STREQ(text, "BA1");
    close(ends[0]);
}

TEST(ProcessExit, AnotherThreadEndsTheProcessWhileThisOneWaitsForever) {
    // The fatal stop's pattern: one thread waits on a value nobody changes.
    EXPECT_EQ(exit_code_of_child([] {
                  std::thread ender([] {
                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                      ExitProcess(3);
                  });
                  LONG never_changes = 0;
                  LONG compare = 0;
                  WaitOnAddress(&never_changes, &compare, sizeof compare, INFINITE);
                  _exit(99);
              }),
              3);
}

TEST(Identity, ThreadIdsAreNonZeroStablePerThreadAndDistinct) {
    const DWORD main_id = GetCurrentThreadId();
    EXPECT_NE(main_id, 0u);
    EXPECT_EQ(GetCurrentThreadId(), main_id);
    DWORD other_id = 0;
    std::thread([&] { other_id = GetCurrentThreadId(); }).join();
    EXPECT_NE(other_id, 0u);
    EXPECT_NE(other_id, main_id);
}

TEST(Identity, TheProgramsModuleHandleIsStableAndNamedModulesAreUnknown) {
    const HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_NE(self, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), self);
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
}

TEST(SrwLock, KeepsCriticalSectionsApartAcrossThreads) {
    static SRWLOCK lock = SRWLOCK_INIT;
    long counter = 0; // deliberately a plain read-modify-write, split by yields
    constexpr int threads = 4;
    constexpr int rounds = 20000;
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                AcquireSRWLockExclusive(&lock);
                const long seen = counter;
                if (i % 64 == 0) std::this_thread::yield();
                counter = seen + 1;
                ReleaseSRWLockExclusive(&lock);
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(counter, threads * rounds);
    EXPECT_EQ(lock.Ptr, nullptr) << "a released lock is back to its initial state";
}

TEST(SrwLock, AWaitingThreadEntersOnlyAfterTheRelease) {
    SRWLOCK lock = SRWLOCK_INIT;
    std::atomic<bool> released{false};
    std::atomic<bool> entered_before_release{false};
    AcquireSRWLockExclusive(&lock);
    std::thread waiter([&] {
        AcquireSRWLockExclusive(&lock);
        entered_before_release = !released.load();
        ReleaseSRWLockExclusive(&lock);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    released = true;
    ReleaseSRWLockExclusive(&lock);
    waiter.join();
    EXPECT_FALSE(entered_before_release.load());
}

TEST(WaitOnAddress, ReturnsAtOnceWhenTheValueAlreadyDiffers) {
    std::uint8_t byte = 1, byte_compare = 2;
    std::uint16_t half = 1, half_compare = 2;
    LONG word = 1, word_compare = 2;
    std::uint64_t wide = 0x0100000000000000, wide_compare = 0; // differs in the top byte only
    EXPECT_TRUE(WaitOnAddress(&byte, &byte_compare, 1, INFINITE));
    EXPECT_TRUE(WaitOnAddress(&half, &half_compare, 2, INFINITE));
    EXPECT_TRUE(WaitOnAddress(&word, &word_compare, 4, INFINITE));
    EXPECT_TRUE(WaitOnAddress(&wide, &wide_compare, 8, INFINITE));
    EXPECT_FALSE(WaitOnAddress(&word, &word_compare, 3, INFINITE)) << "sizes are 1, 2, 4 or 8";
}

TEST(WaitOnAddress, TimesOutWhileTheValueStaysTheSame) {
    LONG word = 5, compare = 5;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitOnAddress(&word, &compare, sizeof word, 30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_FALSE(WaitOnAddress(&word, &compare, sizeof word, 0));
}

TEST(WaitOnAddress, AnInfiniteWaitEndsWhenAnotherThreadChangesTheValue) {
    volatile LONG word = 0;
    LONG compare = 0;
    std::thread changer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        InterlockedIncrement(&word);
    });
    EXPECT_TRUE(WaitOnAddress(&word, &compare, sizeof compare, INFINITE));
    EXPECT_EQ(word, 1);
    changer.join();
}

TEST(Interlocked, EveryCallerGetsItsOwnNewValueAcrossThreads) {
    volatile LONG count = 0;
    EXPECT_EQ(InterlockedIncrement(&count), 1);
    EXPECT_EQ(InterlockedDecrement(&count), 0);
    EXPECT_EQ(InterlockedDecrement(&count), -1);
    EXPECT_EQ(InterlockedIncrement(&count), 0);

    constexpr int threads = 4;
    constexpr int rounds = 50000;
    std::vector<std::vector<LONG>> returned(threads);
    std::atomic<int> ready{0};
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            returned[t].reserve(rounds);
            for (++ready; ready.load() < threads;) {} // start together, to collide
            for (int i = 0; i < rounds; ++i) returned[t].push_back(InterlockedIncrement(&count));
        });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(count, threads * rounds);
    std::vector<bool> seen(threads * rounds + 1, false);
    for (const auto& values : returned) {
        for (LONG value : values) {
            ASSERT_TRUE(value >= 1 && value <= threads * rounds && !seen[value]) << value;
            seen[value] = true;
        }
    }
}
