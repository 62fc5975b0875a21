// The compile server: a small single-threaded process, forked before main, that forks one child per
// compile request and sends back what the child sent, so that no child is forked from the program's
// large, multithreaded process. It never runs the front end itself and never writes to standard output.
#pragma once

namespace platform::d3dcompiler {

// Answers requests on `fd` until the program's end closes, then exits; it never returns.
[[noreturn]] void ServeCompiles(int fd);

} // namespace platform::d3dcompiler
