#include "base/diagnostics.h"
#include "base/kernel32.h"
#include <atomic>
#include <cstddef>

namespace {

constexpr DWORD no_owner = 0xFFFFFFFF;
constexpr UINT fatal_exit_code = 3;
constexpr std::size_t report_buffer_size = 4096;

// The standard-error lock, recursive per thread: a fatal stop raised while a
// line is being written must be able to take it again.
SRWLOCK stderr_lock = SRWLOCK_INIT;
std::atomic<DWORD> lock_owner{no_owner}; // read unlocked by other threads
std::uint32_t lock_depth = 0;

// Fatal stop: 0 none, 1 stopping, 2 stopping again. Per thread, except on
// Windows, where the program runs all its code on one thread (the sound
// device reports to the window) and so needs no thread-local storage.
#ifdef _WIN32
int panic_stage = 0;
#else
thread_local int panic_stage;
#endif
LONG volatile stopping_count = 0;

std::size_t text_length(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

bool write_bytes(const char* bytes, std::size_t length) {
    HANDLE error_output = GetStdHandle(STD_ERROR_HANDLE);
    if (error_output == nullptr || error_output == INVALID_HANDLE_VALUE) return false;
    while (length > 0) {
        DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        DWORD written = 0;
        // A write that makes no progress counts as failed, or we would spin.
        if (!WriteFile(error_output, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        length -= written;
    }
    return true;
}

// Decimal digits of `value` at the end of `digits`; returns where they start.
char* format_uint(std::uint64_t value, char (&digits)[20]) {
    char* start = digits + sizeof digits;
    do {
        *--start = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return start;
}

// The start-up failure report goes out in one piece from this buffer.
struct ReportBuffer {
    char bytes[report_buffer_size];
    std::size_t used;
};

bool flush(ReportBuffer& buffer) {
    bool written = write_bytes(buffer.bytes, buffer.used);
    buffer.used = 0;
    return written;
}

bool append(ReportBuffer& buffer, const char* text) {
    for (; *text != '\0'; ++text) {
        if (buffer.used == report_buffer_size && !flush(buffer)) return false;
        buffer.bytes[buffer.used++] = *text;
    }
    return true;
}

[[noreturn]] void end_process() {
    ExitProcess(fatal_exit_code);
    __builtin_unreachable();
}

// Another thread is stopping too and will end the process.
[[noreturn]] void wait_forever() {
#ifdef _WIN32
    for (;;) Sleep(INFINITE); // never reached with one thread
#else
    LONG unchanging = 0;
    LONG undesired = 0;
    for (;;) WaitOnAddress(&unchanging, &undesired, sizeof unchanging, INFINITE);
#endif
}

} // namespace

void diag_lock() {
    DWORD self = GetCurrentThreadId();
    if (lock_owner.load(std::memory_order_relaxed) == self) {
        ++lock_depth;
        return;
    }
    AcquireSRWLockExclusive(&stderr_lock);
    lock_owner.store(self, std::memory_order_relaxed);
    lock_depth = 1;
}

void diag_unlock() {
    if (--lock_depth != 0) return;
    lock_owner.store(no_owner, std::memory_order_relaxed);
    ReleaseSRWLockExclusive(&stderr_lock);
}

bool diag_write(const char* text) {
    return write_bytes(text, text_length(text));
}

bool diag_write_uint(std::uint64_t value) {
    char digits[20];
    char* start = format_uint(value, digits);
    return write_bytes(start, static_cast<std::size_t>(digits + sizeof digits - start));
}

void diag_error_line(const char* prefix, ErrorName error) {
    diag_lock();
    diag_write(prefix) && diag_write("error.") && diag_write(error_name_text(error)) &&
        diag_write("\n");
    diag_unlock();
}

void diag_line(const char* text) {
    diag_lock();
    diag_write(text);
    diag_unlock();
}

void diag_line_uint(const char* prefix, std::uint64_t value, const char* suffix) {
    diag_lock();
    diag_write(prefix) && diag_write_uint(value) && diag_write(suffix);
    diag_unlock();
}

void diag_line_uints(const char* prefix, std::uint64_t first, const char* middle,
                     std::uint64_t second, const char* suffix) {
    diag_lock();
    diag_write(prefix) && diag_write_uint(first) && diag_write(middle) && diag_write_uint(second) &&
        diag_write(suffix);
    diag_unlock();
}

void report_fatal_error(ErrorName error) {
    static ReportBuffer buffer; // 4 KiB stays off the stack
    diag_lock();
    buffer.used = 0;
    append(buffer, "error: ") && append(buffer, error_name_text(error)) && append(buffer, "\n") &&
        flush(buffer);
    diag_unlock();
}

void panic(const char* message) {
    if (panic_stage >= 2) end_process();
    if (panic_stage == 1) {
        // The lock may be held by this very stop; write without it.
        panic_stage = 2;
        diag_write("aborting due to recursive panic\n");
        end_process();
    }
    panic_stage = 1;
    InterlockedIncrement(&stopping_count);
    diag_lock();
    bool first_line_written = diag_write("thread ") && diag_write_uint(GetCurrentThreadId()) &&
                              diag_write(" panic: ") && diag_write(message) && diag_write("\n");
    if (!first_line_written) end_process();
    diag_write("Unable to dump stack trace: debug info stripped\n");
    diag_unlock();
    if (InterlockedDecrement(&stopping_count) != 0) wait_forever();
    end_process();
}
