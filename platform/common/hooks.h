// What the layer's modules call so that tests can inject failures and count live objects, and what
// the testing module (platform/testing) sets and reads of them. Fixed-size tables: no allocation,
// so the calls are free to sit on any path.
#pragma once

#include <windows.h>

namespace platform {

// True, with the HRESULT to return, when a test asked the next call of `call` to fail.
bool TakeInjectedFailure(const char* call, HRESULT* hr);

// Adds `delta` to the live count of `kind`; kind is a string literal named after the interface.
void CountLive(const char* kind, int delta);

// Logs a failing call to standard error, in the form
// "fxview platform: vkCreateSwapchainKHR failed: VK_ERROR_OUT_OF_DATE_KHR".
void LogFailure(const char* call, const char* what);

// For the testing module: the next call of `call` after `passing` more returns `hr`; none does any
// more; the live count of `kind`, or of every kind but Vulkan's when null.
void InjectFailure(const char* call, HRESULT hr, int passing);
void ClearInjectedFailures();
long LiveCount(const char* kind);

} // namespace platform
