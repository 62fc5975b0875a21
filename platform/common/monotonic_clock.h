// Milliseconds of the monotonic clock, cut to 32 bits: what timeGetTime, message times and the
// screen saver's idle checks all count in.
#pragma once

#include <cstdint>

namespace platform {

// Wraps after about 49.7 days, as Windows' millisecond counts do.
uint32_t MonotonicMilliseconds();

} // namespace platform
