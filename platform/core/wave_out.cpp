// winmm wave output: one device (the wave mapper) for 48 kHz 16-bit stereo PCM
// with notices to a window. Written blocks wait in the device's queue, chained
// through their headers' lpNext as a driver does, until the host has played
// them or a reset returns them; each comes back as MM_WOM_DONE. The program
// drives the device from one thread; only the host's audio thread runs beside it.
#include "platform/core/faults.h"
#include "platform/core/win32_api.h"
#include "platform/host.h"

#include <mutex>

namespace {

struct WaveDevice {
    // Guards everything below against the host's audio thread, which reports
    // played blocks. Never held while calling the host or posting.
    std::mutex lock;
    bool open;
    HWND window;
    WAVEHDR* queue_head;
    WAVEHDR* queue_tail;
};

WaveDevice device;

// The device's handle is the address of its record.
HWAVEOUT device_handle() {
    return reinterpret_cast<HWAVEOUT>(&device);
}

bool is_open_device(HWAVEOUT handle) {
    return handle == device_handle() && device.open;
}

bool is_usable_header(const WAVEHDR* header, UINT header_size) {
    return header && header_size >= sizeof(WAVEHDR);
}

bool is_supported_format(const WAVEFORMATEX& format) {
    return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels == 2 &&
           format.nSamplesPerSec == 48000 && format.wBitsPerSample == 16 &&
           format.nBlockAlign == 4 && format.nAvgBytesPerSec == 192000;
}

// Takes `header` out of the queue and marks it done; false if it was not queued.
bool finish_queued(WAVEHDR* header) {
    WAVEHDR* previous = nullptr;
    for (WAVEHDR* at = device.queue_head; at; previous = at, at = at->lpNext) {
        if (at != header) continue;
        (previous ? previous->lpNext : device.queue_head) = at->lpNext;
        if (device.queue_tail == at) device.queue_tail = previous;
        at->lpNext = nullptr;
        at->dwFlags = (at->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        return true;
    }
    return false;
}

void post_to_window(HWND window, UINT message, WAVEHDR* header) {
    PostMessageA(window, message, reinterpret_cast<WPARAM>(device_handle()),
                 reinterpret_cast<LPARAM>(header));
}

} // namespace

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx,
                            DWORD_PTR dwCallback, DWORD_PTR, DWORD fdwOpen) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::Open)) return fault;
    if (!phwo || !pwfx) return MMSYSERR_INVALPARAM;
    if (uDeviceID != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (fdwOpen != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
    if (!is_supported_format(*pwfx)) return WAVERR_BADFORMAT;
    if (!dwCallback) return MMSYSERR_INVALPARAM;
    {
        std::lock_guard guard(device.lock);
        if (device.open) return MMSYSERR_ALLOCATED;
    }
    if (!host_audio_open()) return MMSYSERR_NODRIVER;
    const HWND window = reinterpret_cast<HWND>(dwCallback);
    {
        std::lock_guard guard(device.lock);
        device.open = true;
        device.window = window;
        device.queue_head = device.queue_tail = nullptr;
    }
    *phwo = device_handle();
    post_to_window(window, MM_WOM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::PrepareHeader)) return fault;
    std::lock_guard guard(device.lock);
    if (!is_open_device(hwo)) return MMSYSERR_INVALHANDLE;
    if (!is_usable_header(pwh, cbwh) || !pwh->lpData) return MMSYSERR_INVALPARAM;
    pwh->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::Write)) return fault;
    {
        std::lock_guard guard(device.lock);
        if (!is_open_device(hwo)) return MMSYSERR_INVALHANDLE;
        if (!is_usable_header(pwh, cbwh)) return MMSYSERR_INVALPARAM;
        if (!(pwh->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (pwh->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        pwh->dwFlags = (pwh->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        pwh->lpNext = nullptr;
        (device.queue_tail ? device.queue_tail->lpNext : device.queue_head) = pwh;
        device.queue_tail = pwh;
    }
    // Queued first, so that the host may report it played at once.
    host_audio_submit(pwh);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT hwo) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::Reset)) return fault;
    {
        std::lock_guard guard(device.lock);
        if (!is_open_device(hwo)) return MMSYSERR_INVALHANDLE;
    }
    host_audio_reset();
    WAVEHDR* returned;
    HWND window;
    {
        std::lock_guard guard(device.lock);
        returned = device.queue_head;
        window = device.window;
        device.queue_head = device.queue_tail = nullptr;
        for (WAVEHDR* at = returned; at; at = at->lpNext) {
            at->dwFlags = (at->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        }
    }
    while (returned) {
        WAVEHDR* next = returned->lpNext;
        returned->lpNext = nullptr;
        post_to_window(window, MM_WOM_DONE, returned);
        returned = next;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::UnprepareHeader)) return fault;
    std::lock_guard guard(device.lock);
    if (!is_open_device(hwo)) return MMSYSERR_INVALHANDLE;
    if (!is_usable_header(pwh, cbwh)) return MMSYSERR_INVALPARAM;
    if (pwh->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    pwh->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT hwo) {
    if (MMRESULT fault = fault_take_wave_out_failure(WaveOutCall::Close)) return fault;
    HWND window;
    {
        std::lock_guard guard(device.lock);
        if (!is_open_device(hwo)) return MMSYSERR_INVALHANDLE;
        if (device.queue_head) return WAVERR_STILLPLAYING;
        device.open = false;
        window = device.window;
        device.window = nullptr;
    }
    host_audio_close();
    post_to_window(window, MM_WOM_CLOSE, nullptr);
    return MMSYSERR_NOERROR;
}

void platform_audio_block_done(WAVEHDR* header) {
    HWND window;
    {
        std::lock_guard guard(device.lock);
        // A block the device no longer holds (returned by a reset) is not reported twice.
        if (!finish_queued(header)) return;
        window = device.window;
    }
    post_to_window(window, MM_WOM_DONE, header);
}
