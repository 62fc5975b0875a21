// The tests' hooks into the Win32 and winmm stand-ins: the injected tick and the record of
// DefWindowProcA, and keys held or pressed as the test says.
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

void SetKeyState(int vk, bool down, bool pressedSincePoll) {
    if (vk <= 0 || vk > 255)
        return;
    platform::win32::KeyState& key = platform::win32::State().keys[vk];
    key.overridden = true;
    key.down = down;
    key.pressedSincePoll = pressedSincePoll;
}

void ClearKeyStates() {
    for (platform::win32::KeyState& key : platform::win32::State().keys)
        key = platform::win32::KeyState{};
}

} // namespace fxtest
