// The console text fxview writes: the dispatch line of every frame and the frame-rate line once a
// second, with the same tick and the same arithmetic, so that the console costs both programs the same.
#pragma once

#include <cstdint>

namespace baseline {

// Milliseconds of CLOCK_MONOTONIC, wrapping at 32 bits like the Windows multimedia tick.
uint32_t TickMs();

// Counts this frame and prints "<fps> fps" when a second or more has passed since the last report.
void UpdateFps();

// Prints the dispatch line, which ends in a carriage return for the next line to overwrite.
void PrintDispatch(uint32_t x, uint32_t y);

} // namespace baseline
