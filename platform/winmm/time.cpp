#include "monotonic_clock.h"
#include "tick.h"

#include <mmsystem.h>

namespace platform::winmm {

TickState& Tick() {
    static TickState tick;
    return tick;
}

} // namespace platform::winmm

DWORD WINAPI timeGetTime(void) {
    platform::winmm::TickState& t = platform::winmm::Tick();
    ++t.reads;
    if (t.injected)
        return t.next.fetch_add(t.step);
    return platform::MonotonicMilliseconds();
}
