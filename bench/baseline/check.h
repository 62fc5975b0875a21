// Stops the baseline at the first failing call, naming it: a benchmark reference has nothing to fall
// back on, and a half-working one would measure the wrong thing.
#pragma once

#include <vulkan/vulkan_core.h>

namespace baseline {

// Exits with status 1 after "call failed: VK_..." on standard error when `result` is an error.
void Check(VkResult result, const char* call);

// Exits with status 1 after "what: why" on standard error.
[[noreturn]] void Fail(const char* what, const char* why);

} // namespace baseline
