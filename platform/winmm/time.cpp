#include "monotonic_clock.h"

#include <mmsystem.h>
#include <testing.h>

#include <atomic>

namespace {

struct TickState {
    std::atomic<bool> injected{false};
    std::atomic<DWORD> next{0};
    std::atomic<DWORD> step{0};
    std::atomic<unsigned long> reads{0};
};

TickState& Tick() {
    static TickState tick;
    return tick;
}

} // namespace

DWORD WINAPI timeGetTime(void) {
    TickState& t = Tick();
    ++t.reads;
    if (t.injected)
        return t.next.fetch_add(t.step);
    return platform::MonotonicMilliseconds();
}

namespace fxtest {

void SetTick(DWORD ms, DWORD stepPerRead) {
    TickState& t = Tick();
    t.next = ms;
    t.step = stepPerRead;
    t.injected = true;
}

void UseRealTick() {
    Tick().injected = false;
}

unsigned long TickReads() {
    return Tick().reads;
}

} // namespace fxtest
