// Message queues: posting from any thread, retrieval in the Windows order
// (posted messages, input, quit, paint, timers), dispatch, and timers on the
// 64 Hz system clock.
#include "platform/core/message_queue.h"

#include "platform/core/input.h"
#include "platform/core/painting.h"
#include "platform/core/surface.h"
#include "platform/core/window_tree.h"
#include "platform/host.h"
#include <algorithm>
#include <memory>

namespace {

constexpr std::uint64_t system_tick_us = 15625; // 64 Hz
constexpr UINT minimum_timer_period_ms = 10;

std::vector<std::unique_ptr<ThreadQueue>> queues; // guarded by core_mutex()
std::deque<RawInput> raw_input;                   // guarded by core_mutex()
thread_local ThreadQueue* this_thread_queue = nullptr;
void (*tick_presented_hook)() = nullptr;

std::uint64_t on_system_tick(std::uint64_t time_us) {
    return (time_us + system_tick_us - 1) / system_tick_us * system_tick_us;
}

void stamp(MSG* message) {
    message->time = DWORD(host_time_us() / 1000);
    message->pt = cursor_position();
}

bool input_is_ours(const ThreadQueue& queue) {
    Window* active = active_window();
    return !active || active->queue == &queue;
}

// The screen is whole again: present it, then let the host watch the tick.
void frame_complete(ThreadQueue& queue) {
    present_changed_windows(queue);
    if (!queue.tick_dispatched) return;
    queue.tick_dispatched = false;
    if (tick_presented_hook) tick_presented_hook();
}

// A timer that expired yields one WM_TIMER however many periods passed; its
// next expiry is the first system tick at least one period after the last.
bool take_due_timer(ThreadQueue& queue, std::uint64_t now, MSG* message) {
    Timer* due = nullptr;
    for (Timer& timer : queue.timers) {
        if (timer.next_expiry_us <= now && (!due || timer.next_expiry_us < due->next_expiry_us))
            due = &timer;
    }
    if (!due) return false;
    *message = MSG{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->procedure), 0, {}};
    do {
        due->next_expiry_us = on_system_tick(due->next_expiry_us + due->period_us);
    } while (due->next_expiry_us <= now);
    return true;
}

std::uint64_t next_timer_expiry(const ThreadQueue& queue) {
    std::uint64_t next = UINT64_MAX;
    for (const Timer& timer : queue.timers) next = std::min(next, timer.next_expiry_us);
    return next;
}

bool known_timer_procedure(const ThreadQueue& queue, LPARAM procedure) {
    return std::any_of(queue.timers.begin(), queue.timers.end(), [&](const Timer& timer) {
        return reinterpret_cast<LPARAM>(timer.procedure) == procedure;
    });
}

enum class Retrieved { Message, Quit, Deadline };

// GetMessageA's search, in the Windows order: posted messages, input, the quit
// request, paint, timers. Waits while nothing is there, but not past
// `deadline_us`.
Retrieved retrieve(ThreadQueue& queue, MSG* message, std::uint64_t deadline_us) {
    for (;;) {
        RawInput input{};
        bool have_input = false;
        {
            std::lock_guard lock(core_mutex());
            if (!queue.posted.empty()) {
                *message = queue.posted.front();
                queue.posted.pop_front();
                stamp(message);
                return message->message == WM_QUIT ? Retrieved::Quit : Retrieved::Message;
            }
            if (!raw_input.empty() && input_is_ours(queue)) {
                input = raw_input.front();
                raw_input.pop_front();
                have_input = true;
            }
        }
        if (have_input) {
            if (!translate_input(input, message)) continue;
            stamp(message);
            return Retrieved::Message;
        }
        if (queue.quit_pending) {
            frame_complete(queue);
            queue.quit_pending = false;
            *message = MSG{nullptr, WM_QUIT, WPARAM(queue.quit_code), 0, 0, {}};
            stamp(message);
            return Retrieved::Quit;
        }
        if (Window* window = next_window_to_paint(queue)) {
            *message = MSG{window->handle, WM_PAINT, 0, 0, 0, {}};
            stamp(message);
            return Retrieved::Message;
        }
        frame_complete(queue);
        // A thread that is always behind its timers never waits: let the host
        // hand over what it holds, so that posted messages keep their place
        // before the next timer.
        host_poll();
        {
            std::lock_guard lock(core_mutex());
            if (!queue.posted.empty() || (!raw_input.empty() && input_is_ours(queue))) continue;
        }
        std::uint64_t now = host_time_us();
        if (take_due_timer(queue, now, message)) {
            stamp(message);
            return Retrieved::Message;
        }
        if (now >= deadline_us) return Retrieved::Deadline;
        host_wait_until(std::min(next_timer_expiry(queue), deadline_us));
    }
}

// Queues host input. The thread of the active window (any thread while no
// window is active) turns it into messages.
void post_input(const RawInput& input) {
    {
        std::lock_guard lock(core_mutex());
        raw_input.push_back(input);
    }
    host_wake();
}

} // namespace

ThreadQueue& current_queue() {
    if (!this_thread_queue) {
        std::lock_guard lock(core_mutex());
        queues.push_back(std::make_unique<ThreadQueue>());
        this_thread_queue = queues.back().get();
    }
    return *this_thread_queue;
}

void forget_window_messages(HWND window) {
    std::lock_guard lock(core_mutex());
    for (auto& queue : queues) {
        std::erase_if(queue->posted, [&](const MSG& message) { return message.hwnd == window; });
        std::erase_if(queue->timers, [&](const Timer& timer) { return timer.window == window; });
    }
    std::erase_if(raw_input, [&](const RawInput& input) { return input.window == window; });
}

void reset_all_queues() {
    std::lock_guard lock(core_mutex());
    for (auto& queue : queues) *queue = ThreadQueue{};
    raw_input.clear();
}

void platform_set_tick_presented_hook(void (*hook)()) {
    tick_presented_hook = hook;
}

// ---- The API ------------------------------------------------------------------------

// Safe from any thread: a null window posts to the calling thread's queue.
BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    ThreadQueue* queue = handle ? nullptr : &current_queue();
    {
        std::lock_guard lock(core_mutex());
        if (handle) {
            Window* window = find_window(handle);
            if (!window) return FALSE;
            queue = window->queue;
        }
        queue->posted.push_back(MSG{handle, message, wparam, lparam, 0, {}});
    }
    host_wake();
    return TRUE;
}

VOID WINAPI PostQuitMessage(int exit_code) {
    ThreadQueue& queue = current_queue();
    queue.quit_pending = true;
    queue.quit_code = exit_code;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT) {
    if (!message) return -1;
    return retrieve(current_queue(), message, UINT64_MAX) == Retrieved::Message ? TRUE : FALSE;
}

bool platform_run_until(std::uint64_t deadline_us) {
    ThreadQueue& queue = current_queue();
    for (;;) {
        MSG message;
        Retrieved retrieved = retrieve(queue, &message, deadline_us);
        if (retrieved != Retrieved::Message) return retrieved == Retrieved::Quit;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Character messages for the keys the layer knows: letters (unshifted),
// digits, space, Escape and Enter.
BOOL WINAPI TranslateMessage(const MSG* message) {
    if (!message) return FALSE;
    UINT kind = message->message;
    if (kind != WM_KEYDOWN && kind != WM_KEYUP && kind != WM_SYSKEYDOWN && kind != WM_SYSKEYUP)
        return FALSE;
    if (kind == WM_KEYUP || kind == WM_SYSKEYUP) return TRUE;
    WPARAM key = message->wParam;
    WPARAM character = 0;
    if (key >= 'A' && key <= 'Z') character = key - 'A' + 'a';
    if ((key >= '0' && key <= '9') || key == ' ' || key == VK_ESCAPE || key == VK_RETURN)
        character = key;
    if (character == 0) return TRUE;
    MSG translated{message->hwnd, kind == WM_KEYDOWN ? UINT(WM_CHAR) : UINT(WM_SYSCHAR),
                   character,     message->lParam,
                   message->time, message->pt};
    // The queue first: a thread's first call creates it under the same lock.
    ThreadQueue& queue = current_queue();
    std::lock_guard lock(core_mutex());
    queue.posted.push_front(translated);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (!message) return 0;
    ThreadQueue& queue = current_queue();
    if (message->message == WM_TIMER) {
        queue.tick_dispatched = true;
        if (message->lParam) {
            // Only a procedure of a live timer is called, never any address.
            if (!known_timer_procedure(queue, message->lParam)) return 0;
            call_timer_procedure(reinterpret_cast<TIMERPROC>(message->lParam), message->hwnd,
                                 message->wParam, message->time);
            return 0;
        }
    }
    return send_message(message->hwnd, message->message, message->wParam, message->lParam);
}

// Only window timers: a period below 10 ms is raised to 10 ms, and expiries
// fall on the 64 Hz system clock, as on a default Windows desktop.
UINT_PTR WINAPI SetTimer(HWND handle, UINT_PTR id, UINT period_ms, TIMERPROC procedure) {
    Window* window = find_window(handle);
    if (!window) return 0;
    std::uint64_t period_us = std::uint64_t(std::max(period_ms, minimum_timer_period_ms)) * 1000;
    Timer timer{handle, id, procedure, period_us, on_system_tick(host_time_us() + period_us)};
    std::vector<Timer>& timers = window->queue->timers;
    auto same = std::find_if(timers.begin(), timers.end(), [&](const Timer& existing) {
        return existing.window == handle && existing.id == id;
    });
    if (same != timers.end())
        *same = timer;
    else
        timers.push_back(timer);
    return id ? id : 1;
}

BOOL WINAPI KillTimer(HWND handle, UINT_PTR id) {
    Window* window = find_window(handle);
    if (!window) return FALSE;
    std::size_t removed = std::erase_if(window->queue->timers, [&](const Timer& timer) {
        return timer.window == handle && timer.id == id;
    });
    return removed ? TRUE : FALSE;
}

// ---- Host input ------------------------------------------------------------------

void platform_input_key(UINT virtual_key, bool down, bool alt) {
    post_input(RawInput{RawInput::Key, virtual_key, down, alt, 0, 0, false, nullptr});
}

void platform_input_mouse(int screen_x, int screen_y, bool button_event, bool down) {
    post_input(
        RawInput{RawInput::Mouse, 0, down, false, screen_x, screen_y, button_event, nullptr});
}

void platform_input_close(HWND window) {
    post_input(RawInput{RawInput::Close, 0, false, false, 0, 0, false, window});
}

void platform_input_restore(HWND window) {
    post_input(RawInput{RawInput::Restore, 0, false, false, 0, 0, false, window});
}
