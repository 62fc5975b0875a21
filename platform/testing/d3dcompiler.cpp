// The tests' hooks into the HLSL compiler stand-in: its compile server and the time a reload may take.
#include "compile_client.h"
#include "reload_time_limit.h"

#include <testing.h>

namespace fxtest {

int CompileServerProcess() {
    return platform::d3dcompiler::CompileServerPid();
}

void UseCompileServer(bool use) {
    platform::d3dcompiler::UseCompileServer(use);
}

void SetCompileTimeLimit(unsigned ms) {
    platform::d3dcompiler::SetReloadTimeLimitMs(ms);
}

} // namespace fxtest
