#include <mmsystem.h>
#include <testing.h>

#include <atomic>
#include <time.h>

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
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Truncation to 32 bits is the wrap Windows has too, after about 49.7 days.
    return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

namespace fxtest {

void SetTick(DWORD ms, DWORD stepPerRead) {
    TickState& t = Tick();
    t.next = ms;
    t.step = stepPerRead;
    t.injected = true;
}

void UseRealTick() { Tick().injected = false; }

unsigned long TickReads() { return Tick().reads; }

} // namespace fxtest
