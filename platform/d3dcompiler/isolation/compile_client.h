// The program's side of the compile server: starts the server before main, while the program is one
// thread, and sends it each job with the caller's working directory. It never starts a second server:
// without one (not started, died, or in a child forked from the program), compiles fork from the
// program itself.
#pragma once

#include "front_end.h"
#include "isolation.h"

namespace platform::d3dcompiler {

// False, logged, when the server could not be started; compiles then fork from the program.
bool StartCompileServer();

// False when there is no server to run the job, or it died before answering (logged once); the
// caller then runs the job itself. True with the run otherwise.
bool RunOnCompileServer(const FrontEndJob& job, int limitMs, IsolatedRun* run);

// The server's process id, when this process started one that still runs; 0 otherwise.
int CompileServerPid();
// Whether compiles go to the server (the default) or fork from this process.
void UseCompileServer(bool use);

} // namespace platform::d3dcompiler
