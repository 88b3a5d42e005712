// Windows for the layer's tests: one class whose procedure records every
// message, paints its window in a chosen colour and lets a test take over
// single messages.
#pragma once
#include "platform/headless/headless.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

struct Received {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

class WindowTest : public ::testing::Test {
  public:
    // A test's own handling of a message; returning true means handled, with
    // `result` as the answer. Everything else goes to DefWindowProcA, except
    // WM_PAINT for windows given a colour, which fills the update rectangle.
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>;

    static constexpr DWORD main_style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    static constexpr DWORD cell_style = WS_CHILD | WS_VISIBLE | WS_BORDER;

  protected:
    void SetUp() override;
    void TearDown() override;

    HWND make_window(DWORD style, int x, int y, int width, int height, HWND parent = nullptr,
                     DWORD ex_style = 0, const char* title = "");
    // Windows of this class paint their update rectangle in `color` (COLORREF).
    void paint_with(HWND window, COLORREF color) { colors[window] = color; }
    // Runs the message loop for what is pending and what falls due within `us`.
    bool run(std::uint64_t us = 0) { return headless_run_for(us); }
    std::vector<Received> received(UINT message, HWND window = nullptr) const;
    void forget_received() { log.clear(); }

  public:
    static WindowTest* current;
    std::vector<Received> log;
    std::map<HWND, COLORREF> colors;
    Handler handler;
};

// 0x00RRGGBB as the headless screen reports it.
constexpr std::uint32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::uint32_t(red) << 16) | (std::uint32_t(green) << 8) | blue;
}
