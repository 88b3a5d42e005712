#include "platform/core/faults.h"

#include <atomic>

namespace {
std::atomic<unsigned> begin_defer_refusals{0};
}

void fault_refuse_begin_defer_window_pos(unsigned count) {
    begin_defer_refusals = count;
}

bool fault_take_begin_defer_window_pos_refusal() {
    unsigned left = begin_defer_refusals.load();
    while (left > 0 && !begin_defer_refusals.compare_exchange_weak(left, left - 1)) {}
    return left > 0;
}
