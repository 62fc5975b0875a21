// The multimedia timer tick: milliseconds from the monotonic clock, as an unsigned 32-bit count
// that wraps after about 49.7 days. No timer callbacks and no resolution requests.
#pragma once

#include <windows.h>

DWORD WINAPI timeGetTime(void);
