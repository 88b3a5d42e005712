// The message queue: posted messages first, then paint, then timers; timers
// on the 64 Hz system clock with at most one WM_TIMER pending; the quit
// message; whether a procedure runs; posting from other threads; and a wait
// on nothing at all.
#include "platform/host.h"
#include "window_fixture.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using MessageQueue = WindowTest;

constexpr std::uint64_t system_tick_us = 15625;

std::vector<UINT> kinds(const std::vector<Received>& log) {
    std::vector<UINT> found;
    for (const Received& entry : log) {
        if (entry.message == WM_USER || entry.message == WM_PAINT || entry.message == WM_TIMER)
            found.push_back(entry.message);
    }
    return found;
}

TEST_F(MessageQueue, PostedMessagesComeInOrderAndGetMessageEndsOnQuit) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    PostMessageA(window, WM_USER, 1, 10);
    PostMessageA(window, WM_USER, 2, 20);
    PostQuitMessage(7);
    MSG message;
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.hwnd, window);
    EXPECT_EQ(message.wParam, 1u);
    EXPECT_EQ(message.lParam, 10);
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.wParam, 2u);
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST_F(MessageQueue, PaintAndTimersWaitUntilNoPostedMessageIsLeft) {
    HWND window = make_window(main_style | WS_VISIBLE, 0, 0, 100, 100);
    run();
    SetTimer(window, 1, 2, nullptr);
    host_wait_until(headless_now_us() + 100000); // the timer is long overdue
    InvalidateRect(window, nullptr, FALSE);
    PostMessageA(window, WM_USER, 0, 0);
    PostMessageA(window, WM_USER, 0, 0);
    forget_received();
    run();
    EXPECT_EQ(kinds(log), (std::vector<UINT>{WM_USER, WM_USER, WM_PAINT, WM_TIMER}));
}

TEST_F(MessageQueue, AnOverdueTimerYieldsOneWmTimerHoweverManyPeriodsPassed) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    SetTimer(window, 1, 10, nullptr);
    host_wait_until(headless_now_us() + 20 * system_tick_us);
    run();
    EXPECT_EQ(received(WM_TIMER).size(), 1u);
}

TEST_F(MessageQueue, ShortPeriodsTickOnThe64HzSystemClock) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    std::vector<std::uint64_t> times;
    handler = [&](HWND, UINT message, WPARAM wparam, LPARAM, LRESULT&) {
        if (message == WM_TIMER && wparam == 1) times.push_back(headless_now_us());
        return false;
    };
    std::uint64_t start = headless_now_us();
    SetTimer(window, 1, 2, nullptr);
    run(10 * system_tick_us);
    ASSERT_GE(times.size(), 9u);
    EXPECT_GE(times[0], start + 10000); // 2 ms is raised to 10 ms
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_EQ(times[i] % system_tick_us, 0u);
        if (i > 0) {
            EXPECT_EQ(times[i] - times[i - 1], system_tick_us);
        }
    }
}

TEST_F(MessageQueue, LongerPeriodsRoundUpToTheNextSystemTick) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    std::vector<std::uint64_t> times;
    handler = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_TIMER) times.push_back(headless_now_us());
        return false;
    };
    SetTimer(window, 3, 20, nullptr); // 20 ms: every second system tick
    run(10 * system_tick_us);
    ASSERT_GE(times.size(), 3u);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_EQ(times[i] - times[i - 1], 2 * system_tick_us);
    }
}

TEST_F(MessageQueue, KillTimerStopsTicksAndTimersDieWithTheirWindow) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    HWND other = make_window(main_style, 0, 0, 100, 100);
    SetTimer(window, 1, 2, nullptr);
    SetTimer(other, 1, 2, nullptr);
    run(3 * system_tick_us);
    EXPECT_FALSE(received(WM_TIMER, window).empty());
    EXPECT_TRUE(KillTimer(window, 1));
    EXPECT_FALSE(KillTimer(window, 1));
    DestroyWindow(other);
    forget_received();
    SetTimer(window, 2, 100, nullptr); // keeps the clock something to wait for
    run(3 * system_tick_us);
    EXPECT_TRUE(received(WM_TIMER).empty());
}

std::atomic<int> timer_procedure_calls{0};
VOID CALLBACK count_timer_calls(HWND, UINT, UINT_PTR, DWORD) {
    ++timer_procedure_calls;
}

TEST_F(MessageQueue, OnlyTheProcedureOfALiveTimerIsCalledFromWmTimer) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    timer_procedure_calls = 0;
    PostMessageA(window, WM_TIMER, 9, reinterpret_cast<LPARAM>(&count_timer_calls));
    run();
    EXPECT_EQ(timer_procedure_calls, 0);
    SetTimer(window, 9, 10, count_timer_calls);
    run(2 * system_tick_us);
    EXPECT_GT(timer_procedure_calls, 0);
    EXPECT_TRUE(received(WM_TIMER).empty()); // the procedure took them
}

bool timer_procedure_saw_itself = false;
VOID CALLBACK note_whether_inside(HWND, UINT, UINT_PTR, DWORD) {
    timer_procedure_saw_itself = platform_in_procedure();
}

// The web host keeps its thread inside a procedure, whose frame it cannot
// unwind: every way into one must count, and the loop itself must not.
TEST_F(MessageQueue, TheCoreTellsWhetherAWindowOrTimerProcedureRuns) {
    std::vector<UINT> outside;
    handler = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (!platform_in_procedure()) outside.push_back(message);
        return false;
    };
    HWND window = make_window(main_style, 0, 0, 100, 100);
    PostMessageA(window, WM_USER, 0, 0);
    timer_procedure_saw_itself = false;
    SetTimer(window, 1, 10, note_whether_inside);
    run(2 * system_tick_us);
    EXPECT_FALSE(platform_in_procedure());
    DestroyWindow(window);
    EXPECT_FALSE(platform_in_procedure());
    EXPECT_TRUE(timer_procedure_saw_itself);
    EXPECT_FALSE(received(WM_CREATE).empty());
    EXPECT_FALSE(received(WM_USER).empty());
    EXPECT_FALSE(received(WM_DESTROY).empty());
    EXPECT_TRUE(outside.empty()) << outside.size() << " messages seemed to come from outside";
}

TEST_F(MessageQueue, OtherThreadsPostSafelyAndNothingIsLost) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    constexpr int per_thread = 1000;
    std::atomic<bool> go{false};
    auto poster = [&](WPARAM tag) {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < per_thread; ++i) PostMessageA(window, WM_USER, tag, i);
    };
    std::thread first(poster, 1);
    std::thread second(poster, 2);
    go = true;
    while (received(WM_USER).size() < 2 * per_thread) run();
    first.join();
    second.join();
    LPARAM next[3] = {0, 0, 0};
    for (const Received& entry : received(WM_USER)) {
        EXPECT_EQ(entry.lparam, next[entry.wparam]); // each thread's messages in order
        ++next[entry.wparam];
    }
}

TEST_F(MessageQueue, EachThreadHasItsOwnQueue) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    UINT other_thread_got = 0;
    std::thread other([&] {
        PostMessageA(nullptr, WM_USER + 1, 0, 0); // a message for this thread itself
        PostQuitMessage(3);
        MSG message;
        if (GetMessageA(&message, nullptr, 0, 0)) other_thread_got = message.message;
        EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    });
    other.join();
    EXPECT_EQ(other_thread_got, UINT(WM_USER + 1));
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_FALSE(run()); // the other thread's quit is not ours
    EXPECT_EQ(received(WM_USER).size(), 1u);
}

TEST_F(MessageQueue, TranslateMessageAddsCharactersForLetters) {
    HWND window = make_window(main_style | WS_VISIBLE, 0, 0, 100, 100);
    run();
    headless_press_key('A');
    forget_received();
    run();
    ASSERT_EQ(received(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(received(WM_KEYDOWN)[0].wparam, WPARAM('A'));
    ASSERT_EQ(received(WM_CHAR).size(), 1u);
    EXPECT_EQ(received(WM_CHAR)[0].wparam, WPARAM('a'));
    EXPECT_EQ(received(WM_CHAR)[0].window, window);
    EXPECT_EQ(received(WM_KEYUP).size(), 1u);
}

TEST_F(MessageQueue, TranslateMessageOnAThreadWithoutAQueueGivesItOne) {
    std::promise<UINT> character;
    std::future<UINT> got = character.get_future();
    std::thread other([&] {
        MSG key{nullptr, WM_KEYDOWN, 'B', 0, 0, {}};
        TranslateMessage(&key); // this thread's very first call into the queues
        PostQuitMessage(0);
        MSG message{};
        GetMessageA(&message, nullptr, 0, 0);
        character.set_value(UINT(message.wParam));
    });
    if (got.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        other.detach();
        FAIL() << "TranslateMessage never returned";
    }
    other.join();
    EXPECT_EQ(got.get(), UINT('b'));
}

TEST_F(MessageQueue, WaitingWithNothingToWaitForEndsTheProcessInsteadOfHanging) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MSG message;
            GetMessageA(&message, nullptr, 0, 0);
        },
        ::testing::ExitedWithCode(headless_deadlock_exit_code), "nothing left to wait for");
}

} // namespace
