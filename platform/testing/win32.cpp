// The tests' hooks into the Win32 and winmm stand-ins: the injected tick and the record of
// DefWindowProcA. The key-state override stays with the keyboard (keyboard.cpp).
#include "state.h"
#include "tick.h"

#include <testing.h>

namespace fxtest {

void SetTick(DWORD ms, DWORD stepPerRead) {
    platform::winmm::TickState& t = platform::winmm::Tick();
    t.next = ms;
    t.step = stepPerRead;
    t.injected = true;
}

void UseRealTick() {
    platform::winmm::Tick().injected = false;
}

unsigned long TickReads() {
    return platform::winmm::Tick().reads;
}

unsigned long DefWindowProcCalls() {
    return platform::win32::Log().calls;
}

MSG LastDefWindowProc() {
    return platform::win32::Log().last;
}

} // namespace fxtest
