// Standard input, output and error opened on /dev/null when the program was started with them
// closed. Nothing else: the streams the program was given are left as they are.
#pragma once

namespace platform {

// Must run before anything opens a descriptor: the first one opened would take the closed number,
// and console text written there would land in that file or connection (the X server's).
void OpenClosedStandardStreams();

} // namespace platform
