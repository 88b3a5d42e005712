// What the C runtime's start-up and libraries would otherwise bring, kept to
// calls into Windows' own DLLs:
// - msvcrt's maths: its import library provides only the import slots
//   (__imp_sinf, ...), no call thunks; pow is among them because MinGW's
//   header computes powf through it;
// - WaitOnAddress, which lives outside kernel32's import library: this one
//   looks it up in KernelBase at run time, so the executable imports nothing
//   but kernel32, user32, gdi32, winmm and msvcrt;
// - thread_local storage: GCC for MinGW emulates it through
//   __emutls_get_address, whose libgcc version needs the C runtime's thread
//   start-up; this one keeps each variable in a Windows TLS slot.
#include <cstdint>
#include <windows.h>

extern "C" {
extern float (*__imp_sinf)(float);
extern float (*__imp_cosf)(float);
extern float (*__imp_sqrtf)(float);
extern float (*__imp_powf)(float, float);
extern float (*__imp_floorf)(float);
extern double (*__imp_pow)(double, double);

float sinf(float x) {
    return __imp_sinf(x);
}
float cosf(float x) {
    return __imp_cosf(x);
}
float sqrtf(float x) {
    return __imp_sqrtf(x);
}
float powf(float x, float y) {
    return __imp_powf(x, y);
}
float floorf(float x) {
    return __imp_floorf(x);
}
double pow(double x, double y) {
    return __imp_pow(x, y);
}

using WaitOnAddressFunction = BOOL(WINAPI*)(volatile VOID*, PVOID, SIZE_T, DWORD);

BOOL WINAPI WaitOnAddress(volatile VOID* address, PVOID compare, SIZE_T size, DWORD milliseconds) {
    auto real = reinterpret_cast<WaitOnAddressFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernelbase.dll"), "WaitOnAddress")));
    if (real) return real(address, compare, size, milliseconds);
    Sleep(milliseconds); // Before Windows 8: only ever asked to wait forever.
    return FALSE;
}

// The compiler's descriptor of one thread_local variable. `slot` is ours to
// use: the TLS index + 1, 0 until the first access from any thread.
struct EmulatedThreadLocal {
    std::uintptr_t size;
    std::uintptr_t align;
    std::uintptr_t slot;
    const void* initial_bytes; // null: zero-initialised
};

// Without storage for a thread's variable nothing sensible is left to do:
// the process ends with the fatal stop's exit code.
[[noreturn]] static void no_thread_storage() {
    ExitProcess(3);
    __builtin_unreachable();
}

void* __emutls_get_address(void* descriptor) {
    auto* variable = static_cast<EmulatedThreadLocal*>(descriptor);
    std::uintptr_t slot = __atomic_load_n(&variable->slot, __ATOMIC_ACQUIRE);
    if (slot == 0) {
        DWORD fresh = TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) no_thread_storage();
        std::uintptr_t expected = 0;
        if (__atomic_compare_exchange_n(&variable->slot, &expected, fresh + 1, false,
                                        __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            slot = fresh + 1;
        } else { // another thread got there first
            TlsFree(fresh);
            slot = expected;
        }
    }
    void* storage = TlsGetValue(static_cast<DWORD>(slot - 1));
    if (storage != nullptr) return storage;
    // Never freed: the program has one thread, and its variables live until
    // process exit. Rounded up to the variable's alignment (the heap gives 16).
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, variable->size + variable->align);
    if (block == nullptr) no_thread_storage();
    const std::uintptr_t align_mask = variable->align > 0 ? variable->align - 1 : 0;
    storage = reinterpret_cast<void*>((reinterpret_cast<std::uintptr_t>(block) + align_mask) &
                                      ~align_mask);
    if (variable->initial_bytes != nullptr) {
        auto* to = static_cast<std::uint8_t*>(storage);
        auto* from = static_cast<const std::uint8_t*>(variable->initial_bytes);
        for (std::uintptr_t i = 0; i < variable->size; ++i) to[i] = from[i];
    }
    TlsSetValue(static_cast<DWORD>(slot - 1), storage);
    return storage;
}
}
