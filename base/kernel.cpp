// kernel32 base services: the standard handles, writing to them, process exit,
// thread ids, the module handle, the exclusive lock, waiting on an address and
// interlocked counts.
#include "base/kernel32.h"
#include "base/process_exit.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// A handle to a file descriptor is the descriptor plus one, so that no valid
// handle is null and INVALID_HANDLE_VALUE names none.
HANDLE handle_of_descriptor(int descriptor) {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(descriptor) + 1);
}

int descriptor_of_handle(HANDLE handle) {
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(handle);
    return value > 0 && value <= 0x7fffffff ? static_cast<int>(value - 1) : -1;
}

// write(2) with the pipe signal held back: a write to a pipe whose reader has
// gone fails with EPIPE, as WriteFile fails, instead of killing the process.
ssize_t write_without_pipe_signal(int descriptor, const void* bytes, std::size_t count) {
    sigset_t pipe_signal;
    sigset_t previous_mask;
    sigset_t pending;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous_mask);
    sigpending(&pending);
    const bool was_pending = sigismember(&pending, SIGPIPE) == 1;

    ssize_t written;
    do written = ::write(descriptor, bytes, count);
    while (written < 0 && errno == EINTR);

    if (written < 0 && errno == EPIPE && !was_pending) {
        const timespec no_wait{};
        sigtimedwait(&pipe_signal, nullptr, &no_wait); // take back the signal this write raised
    }
    pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    return written;
}

constexpr int max_exit_hooks = 4;
ExitHook exit_hooks[max_exit_hooks];
int exit_hook_count = 0;
std::atomic<DWORD> exiting_thread{0};

// SRWLOCK's pointer-sized word: free, held, or held while others wait.
PVOID const lock_free = nullptr;
PVOID const lock_held = reinterpret_cast<PVOID>(1);
PVOID const lock_contended = reinterpret_cast<PVOID>(2);

// Nothing in the program wakes a waiter explicitly, so a waiter looks at the
// value again at this interval; an early return is one of the spurious wakes
// WaitOnAddress callers must expect anyway.
constexpr auto address_poll_interval = std::chrono::milliseconds(5);

template <typename Word> bool word_equals(volatile VOID* address, const void* compare) {
    Word expected;
    std::memcpy(&expected, compare, sizeof expected);
    return __atomic_load_n(static_cast<volatile Word*>(address), __ATOMIC_ACQUIRE) == expected;
}

bool value_equals(volatile VOID* address, const void* compare, SIZE_T size) {
    switch (size) {
    case 1:
        return word_equals<std::uint8_t>(address, compare);
    case 2:
        return word_equals<std::uint16_t>(address, compare);
    case 4:
        return word_equals<std::uint32_t>(address, compare);
    default:
        return word_equals<std::uint64_t>(address, compare);
    }
}

} // namespace

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
    int descriptor;
    if (nStdHandle == STD_ERROR_HANDLE)
        descriptor = STDERR_FILENO;
    else if (nStdHandle == STD_OUTPUT_HANDLE)
        descriptor = STDOUT_FILENO;
    else
        return INVALID_HANDLE_VALUE;
    // A process started without the stream has no handle for it.
    return fcntl(descriptor, F_GETFD) == -1 ? nullptr : handle_of_descriptor(descriptor);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    const int descriptor = descriptor_of_handle(hFile);
    if (descriptor < 0 || (!lpBuffer && nNumberOfBytesToWrite > 0)) return FALSE;
    const ssize_t written = write_without_pipe_signal(descriptor, lpBuffer, nNumberOfBytesToWrite);
    if (written < 0) return FALSE;
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(written);
    return TRUE;
}

bool platform_add_exit_hook(ExitHook hook) {
    if (exit_hook_count == max_exit_hooks) return false;
    exit_hooks[exit_hook_count++] = hook;
    return true;
}

[[noreturn]] VOID WINAPI ExitProcess(UINT uExitCode) {
    const DWORD self = GetCurrentThreadId();
    DWORD first = 0;
    if (!exiting_thread.compare_exchange_strong(first, self)) {
        if (first == self) _exit(static_cast<int>(uExitCode)); // a hook ended the process itself
        for (;;) pause();                                      // the exiting thread ends it
    }
    for (int i = exit_hook_count - 1; i >= 0; --i) exit_hooks[i](uExitCode);
    _exit(static_cast<int>(uExitCode));
}

DWORD WINAPI GetCurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    // The program is its only module; any byte of its image identifies it.
    static char program_image;
    return lpModuleName ? nullptr : reinterpret_cast<HMODULE>(&program_image);
}

VOID WINAPI AcquireSRWLockExclusive(PSRWLOCK SRWLock) {
    std::atomic_ref<PVOID> word(SRWLock->Ptr);
    PVOID expected = lock_free;
    if (word.compare_exchange_strong(expected, lock_held, std::memory_order_acquire)) return;
    while (word.exchange(lock_contended, std::memory_order_acquire) != lock_free) {
        word.wait(lock_contended, std::memory_order_relaxed);
    }
}

VOID WINAPI ReleaseSRWLockExclusive(PSRWLOCK SRWLock) {
    std::atomic_ref<PVOID> word(SRWLock->Ptr);
    if (word.exchange(lock_free, std::memory_order_release) == lock_contended) word.notify_one();
}

BOOL WINAPI WaitOnAddress(volatile VOID* Address, PVOID CompareAddress, SIZE_T AddressSize,
                          DWORD dwMilliseconds) {
    if (AddressSize != 1 && AddressSize != 2 && AddressSize != 4 && AddressSize != 8) return FALSE;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    while (value_equals(Address, CompareAddress, AddressSize)) {
        Clock::duration pause_for = address_poll_interval;
        if (dwMilliseconds != INFINITE) {
            const Clock::time_point now = Clock::now();
            if (now >= deadline) return FALSE;
            pause_for = std::min(pause_for, deadline - now);
        }
        std::this_thread::sleep_for(pause_for);
    }
    return TRUE;
}

LONG WINAPI InterlockedIncrement(LONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
