// The multimedia tick's state: the monotonic clock, or the tick a test injected, and how often it was
// read. The testing module (platform/testing) sets it; timeGetTime reads it.
#pragma once

#include <windows.h>

#include <atomic>

namespace platform::winmm {

struct TickState {
    std::atomic<bool> injected{false};
    std::atomic<DWORD> next{0};
    std::atomic<DWORD> step{0};
    std::atomic<unsigned long> reads{0};
};

TickState& Tick();

} // namespace platform::winmm
