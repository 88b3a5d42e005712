// Calls into msvcrt.dll for the few C functions whose import library provides
// only the import slot (no call thunk), and WaitOnAddress, which lives outside
// kernel32's import library: it is looked up in KernelBase at run time so the
// executable imports nothing but kernel32, user32, gdi32, winmm and msvcrt.
#include <windows.h>

extern "C" {
extern float (*__imp_sinf)(float);
extern float (*__imp_cosf)(float);
extern float (*__imp_sqrtf)(float);
extern float (*__imp_powf)(float, float);
extern float (*__imp_floorf)(float);

float sinf(float x) { return __imp_sinf(x); }
float cosf(float x) { return __imp_cosf(x); }
float sqrtf(float x) { return __imp_sqrtf(x); }
float powf(float x, float y) { return __imp_powf(x, y); }
float floorf(float x) { return __imp_floorf(x); }

using WaitOnAddressFunction = BOOL(WINAPI*)(volatile VOID*, PVOID, SIZE_T, DWORD);

static BOOL WINAPI wait_on_address(volatile VOID* address, PVOID compare, SIZE_T size,
                                   DWORD milliseconds) {
    auto real = reinterpret_cast<WaitOnAddressFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernelbase.dll"), "WaitOnAddress")));
    if (real) return real(address, compare, size, milliseconds);
    Sleep(milliseconds); // Before Windows 8: only ever asked to wait forever.
    return FALSE;
}

WaitOnAddressFunction __imp_WaitOnAddress = wait_on_address;
}
