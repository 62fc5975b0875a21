// Standard output and error that are a pipe or a socket are handed to a relay process of their own,
// which holds what the reader has not read yet: a reader that stops (`fxview | less` at a full screen)
// never blocks the program, so Escape and the close box still end it. A terminal or a file is left as
// it is: a terminal paused by the user (Ctrl+S) blocks the writer, as Windows' console does.
#pragma once

#include <cstddef>

namespace platform {

// What the relay holds per stream before it drops text, with a line saying how much, until the
// reader catches up.
constexpr size_t kRelayHeldBytes = 16 << 20;

// Must run while the process has one thread, before anything but the standard streams is opened.
// When the program ends, the relay writes out what it holds and ends once the reader has read it,
// or at once when the reader has gone.
void RelayPipedStandardStreams();

} // namespace platform
