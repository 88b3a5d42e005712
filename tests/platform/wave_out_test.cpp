// The wave-output device on the headless host: the format it takes, blocks
// played in write order and returned as MM_WOM_DONE, the reset, the refusals
// while blocks are queued, and fault injection.
#include "platform/core/faults.h"
#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include "platform/win32.h"
#include "tests/platform/pcm_block.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr UINT header_size = sizeof(WAVEHDR);

WAVEFORMATEX stereo_16bit_48k() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 48000;
    format.nAvgBytesPerSec = 192000;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    return format;
}

class WaveOut : public ::testing::Test {
  protected:
    void SetUp() override {
        static const ATOM registered = [] {
            WNDCLASSEXA window_class{};
            window_class.cbSize = sizeof window_class;
            window_class.lpfnWndProc = DefWindowProcA;
            window_class.hInstance = GetModuleHandleA(nullptr);
            window_class.lpszClassName = "WaveOutTestTarget";
            return RegisterClassExA(&window_class);
        }();
        ASSERT_NE(registered, 0);
        window = CreateWindowExA(0, "WaveOutTestTarget", "", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        for (WaveOutCall call :
             {WaveOutCall::Open, WaveOutCall::PrepareHeader, WaveOutCall::Write, WaveOutCall::Reset,
              WaveOutCall::UnprepareHeader, WaveOutCall::Close}) {
            fault_wave_out(call, MMSYSERR_NOERROR, 0);
        }
        DestroyWindow(window);
    }

    MMRESULT open() {
        const WAVEFORMATEX format = stereo_16bit_48k();
        return waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                           CALLBACK_WINDOW);
    }

    // Opens the device and takes its MM_WOM_OPEN.
    void open_device() {
        ASSERT_EQ(open(), MMSYSERR_NOERROR);
        expect_notice(MM_WOM_OPEN, nullptr);
    }

    // Closes the device and takes its MM_WOM_CLOSE.
    void close_device() {
        ASSERT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
        expect_notice(MM_WOM_CLOSE, nullptr);
    }

    // The next message of the queue, waiting (in virtual time) if need be.
    static MSG next_message() {
        MSG message{};
        EXPECT_GT(GetMessageA(&message, nullptr, 0, 0), 0);
        return message;
    }

    void expect_notice(UINT message_id, const WAVEHDR* header) {
        const MSG message = next_message();
        EXPECT_EQ(message.hwnd, window);
        EXPECT_EQ(message.message, message_id);
        EXPECT_EQ(message.wParam, reinterpret_cast<WPARAM>(device));
        EXPECT_EQ(message.lParam, reinterpret_cast<LPARAM>(header));
    }

    // Posts a marker and checks that nothing was queued before it.
    void expect_no_more_notices() {
        PostMessageA(window, WM_USER, 0, 0);
        EXPECT_EQ(next_message().message, static_cast<UINT>(WM_USER));
    }

    HWND window = nullptr;
    HWAVEOUT device = nullptr;
};

} // namespace

TEST_F(WaveOut, RefusesEveryFormatButStereo16BitPcmAt48kHz) {
    auto open_with = [&](auto change) {
        WAVEFORMATEX format = stereo_16bit_48k();
        change(format);
        return waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                           CALLBACK_WINDOW);
    };
    EXPECT_EQ(open_with([](auto& f) { f.nSamplesPerSec = 44100; }), WAVERR_BADFORMAT);
    EXPECT_EQ(open_with([](auto& f) { f.nChannels = 1; }), WAVERR_BADFORMAT);
    EXPECT_EQ(open_with([](auto& f) { f.wBitsPerSample = 8; }), WAVERR_BADFORMAT);
    EXPECT_EQ(open_with([](auto& f) { f.wFormatTag = 3; }), WAVERR_BADFORMAT);
    EXPECT_EQ(open_with([](auto& f) { f.nBlockAlign = 2; }), WAVERR_BADFORMAT);
    EXPECT_EQ(open_with([](auto& f) { f.nAvgBytesPerSec = 96000; }), WAVERR_BADFORMAT);

    const WAVEFORMATEX format = stereo_16bit_48k();
    const auto target = reinterpret_cast<DWORD_PTR>(window);
    EXPECT_EQ(waveOutOpen(&device, 0, &format, target, 0, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, target, 0, 0), MMSYSERR_INVALFLAG);
    EXPECT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_WINDOW),
              MMSYSERR_INVALPARAM);

    // None of the refusals left the device open.
    open_device();
    HWAVEOUT second = nullptr;
    EXPECT_EQ(waveOutOpen(&second, WAVE_MAPPER, &format, target, 0, CALLBACK_WINDOW),
              MMSYSERR_ALLOCATED);
    close_device();
}

TEST_F(WaveOut, AClosedDeviceTakesNoMoreCalls) {
    open_device();
    close_device();
    PcmBlock block(16, 0);
    EXPECT_EQ(waveOutPrepareHeader(device, &block.header, header_size), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(device, &block.header, header_size), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(device), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(nullptr), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOut, BlocksPlayInWriteOrderAndComeBackDoneAtTheirVirtualTimes) {
    open_device();
    PcmBlock blocks[] = {PcmBlock(4800, 0), PcmBlock(2400, 1000), PcmBlock(4096, 2000)};
    const std::uint64_t start_us = host_time_us();
    for (PcmBlock& block : blocks) {
        ASSERT_EQ(waveOutPrepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
        block.header.dwFlags |= WHDR_DONE; // as left by an earlier round
        ASSERT_EQ(waveOutWrite(device, &block.header, header_size), MMSYSERR_NOERROR);
        EXPECT_EQ(block.header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_INQUEUE));
    }
    // 4800 frames last 100 ms, 2400 another 50 ms, 4096 another 85.333 ms.
    const std::uint64_t done_at_us[] = {100000, 150000, 235334};
    for (int i = 0; i < 3; ++i) {
        expect_notice(MM_WOM_DONE, &blocks[i].header);
        EXPECT_EQ(host_time_us() - start_us, done_at_us[i]) << "block " << i;
        EXPECT_EQ(blocks[i].header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));
    }

    std::uint64_t played_count = 0;
    const std::int16_t* played = headless_audio_played(&played_count);
    std::vector<std::int16_t> expected;
    for (const PcmBlock& block : blocks) {
        expected.insert(expected.end(), block.samples.begin(), block.samples.end());
    }
    EXPECT_EQ(std::vector<std::int16_t>(played, played + played_count), expected);

    for (PcmBlock& block : blocks) {
        EXPECT_EQ(waveOutUnprepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
        EXPECT_EQ(block.header.dwFlags, static_cast<DWORD>(WHDR_DONE));
    }
    close_device();
}

TEST_F(WaveOut, QueuedBlocksHoldTheDeviceAndUnpreparedOnesAreRefused) {
    open_device();
    PcmBlock queued(4096, 0);
    PcmBlock unprepared(4096, 0);
    ASSERT_EQ(waveOutPrepareHeader(device, &queued.header, header_size), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(device, &unprepared.header, header_size), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutWrite(device, &queued.header, header_size), MMSYSERR_NOERROR);

    EXPECT_EQ(waveOutWrite(device, &queued.header, header_size), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(device, &queued.header, header_size), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);

    PcmBlock no_data(0, 0);
    no_data.header.lpData = nullptr;
    EXPECT_EQ(waveOutPrepareHeader(device, &no_data.header, header_size), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutPrepareHeader(device, &unprepared.header, header_size - 1),
              MMSYSERR_INVALPARAM);

    expect_notice(MM_WOM_DONE, &queued.header);
    EXPECT_EQ(waveOutUnprepareHeader(device, &queued.header, header_size), MMSYSERR_NOERROR);
    close_device();
}

TEST_F(WaveOut, ResetReturnsEveryQueuedBlockAtOnceInWriteOrder) {
    open_device();
    PcmBlock blocks[] = {PcmBlock(4096, 0), PcmBlock(4096, 0), PcmBlock(4096, 0)};
    for (PcmBlock& block : blocks) {
        ASSERT_EQ(waveOutPrepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(device, &block.header, header_size), MMSYSERR_NOERROR);
    }
    const std::uint64_t reset_us = host_time_us();
    ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
    EXPECT_EQ(headless_audio_next_completion_us(), UINT64_MAX) << "the sink holds nothing more";
    for (PcmBlock& block : blocks) {
        EXPECT_EQ(block.header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));
        expect_notice(MM_WOM_DONE, &block.header);
    }
    EXPECT_EQ(host_time_us(), reset_us);
    expect_no_more_notices();

    for (PcmBlock& block : blocks) {
        EXPECT_EQ(waveOutUnprepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
    }
    close_device();
}

TEST_F(WaveOut, BlocksReportedFromTheHostsAudioThreadComeBackOnceEach) {
    open_device();
    PcmBlock blocks[] = {PcmBlock(4096, 0), PcmBlock(4096, 0), PcmBlock(4096, 0)};
    for (PcmBlock& block : blocks) {
        ASSERT_EQ(waveOutPrepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(device, &block.header, header_size), MMSYSERR_NOERROR);
    }
    PcmBlock foreign(16, 0);
    std::thread([&] {
        for (PcmBlock& block : blocks) platform_audio_block_done(&block.header);
        platform_audio_block_done(&foreign.header);
        platform_audio_block_done(&blocks[0].header);
    }).join();
    for (PcmBlock& block : blocks) expect_notice(MM_WOM_DONE, &block.header);
    // The headless sink still plays them; its reports change nothing now.
    while (headless_audio_next_completion_us() != UINT64_MAX) {
        host_wait_until(headless_audio_next_completion_us());
    }
    expect_no_more_notices();
    close_device();
}

TEST_F(WaveOut, AnArmedFaultFailsTheCallWithItsCodeAndChangesNothing) {
    fault_wave_out(WaveOutCall::Open, MMSYSERR_NODRIVER, 1);
    EXPECT_EQ(open(), MMSYSERR_NODRIVER);
    open_device(); // the fault was used up, and the failed open held nothing

    // The second of three writes fails; the other two play.
    PcmBlock blocks[] = {PcmBlock(4096, 0), PcmBlock(4096, 0), PcmBlock(4096, 0)};
    for (PcmBlock& block : blocks) {
        ASSERT_EQ(waveOutPrepareHeader(device, &block.header, header_size), MMSYSERR_NOERROR);
    }
    fault_wave_out(WaveOutCall::Write, MMSYSERR_NOMEM, 1, 1);
    EXPECT_EQ(waveOutWrite(device, &blocks[0].header, header_size), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(device, &blocks[1].header, header_size), MMSYSERR_NOMEM);
    EXPECT_EQ(blocks[1].header.dwFlags, static_cast<DWORD>(WHDR_PREPARED));
    EXPECT_EQ(waveOutWrite(device, &blocks[2].header, header_size), MMSYSERR_NOERROR);

    // A failed reset returns nothing, so the device stays busy.
    fault_wave_out(WaveOutCall::Reset, MMSYSERR_ERROR, fault_every_call);
    EXPECT_EQ(waveOutReset(device), MMSYSERR_ERROR);
    EXPECT_EQ(waveOutReset(device), MMSYSERR_ERROR);
    EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);
    expect_notice(MM_WOM_DONE, &blocks[0].header);
    expect_notice(MM_WOM_DONE, &blocks[2].header);

    fault_wave_out(WaveOutCall::UnprepareHeader, MMSYSERR_INVALHANDLE, fault_every_call);
    EXPECT_EQ(waveOutUnprepareHeader(device, &blocks[0].header, header_size), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(blocks[0].header.dwFlags & WHDR_PREPARED, static_cast<DWORD>(WHDR_PREPARED));
    fault_wave_out(WaveOutCall::PrepareHeader, MMSYSERR_NOMEM, fault_every_call);
    EXPECT_EQ(waveOutPrepareHeader(device, &blocks[0].header, header_size), MMSYSERR_NOMEM);
    fault_wave_out(WaveOutCall::Close, MMSYSERR_ERROR, 2);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_ERROR);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_ERROR);
    close_device(); // the third close runs
}
