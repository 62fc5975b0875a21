// The tests' hooks into every module: failure injection and live-object counts (hooks.h).
#include "hooks.h"

#include <testing.h>

namespace fxtest {

void FailNextCall(const char* call, HRESULT hr, int passing) {
    platform::InjectFailure(call, hr, passing);
}

void ClearFailures() {
    platform::ClearInjectedFailures();
}

long LiveObjects(const char* kind) {
    return platform::LiveCount(kind);
}

} // namespace fxtest
