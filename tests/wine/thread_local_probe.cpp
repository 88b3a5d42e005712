// Exercises the executable's own thread_local support under Wine: each
// thread gets its own copy of a variable, starting from its initial value,
// at the variable's alignment. Exit code 0 when all holds, otherwise the
// number of the first check that failed.
#include <cstdint>
#include <windows.h>

namespace {

thread_local int counter = 5;
thread_local int zeroed;
alignas(64) thread_local char aligned_bytes[64];

int check_thread(int step) {
    if (counter != 5 || zeroed != 0) return 1;
    counter += step;
    zeroed = step;
    if (counter != 5 + step || zeroed != step) return 2;
    if (reinterpret_cast<std::uintptr_t>(aligned_bytes) % 64 != 0) return 3;
    return 0;
}

DWORD WINAPI other_thread(void*) {
    return static_cast<DWORD>(check_thread(100));
}

} // namespace

extern "C" void probe_entry() {
    int result = check_thread(1);
    if (result == 0) {
        HANDLE thread = CreateThread(nullptr, 0, other_thread, nullptr, 0, nullptr);
        DWORD other = 4;
        if (thread != nullptr && WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0)
            GetExitCodeThread(thread, &other);
        result = static_cast<int>(other);
    }
    // The other thread's changes left this thread's copy alone.
    if (result == 0 && (counter != 6 || zeroed != 1)) result = 5;
    ExitProcess(static_cast<UINT>(result));
}
