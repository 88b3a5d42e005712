// kernel32's Sleep, on the host's clock: the host goes on delivering sound and
// input meanwhile, and a virtual clock gets there at once.
#include "platform/core/win32_api.h"
#include "platform/host.h"
#include <cstdint>

VOID WINAPI Sleep(DWORD dwMilliseconds) {
    const std::uint64_t until = host_time_us() + std::uint64_t(dwMilliseconds) * 1000;
    while (host_time_us() < until) host_wait_until(until);
}
