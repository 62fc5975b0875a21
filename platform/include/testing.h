// Hooks for the tests of the platform layer and of the program: an injected tick and key state,
// failure injection and live-object counts. The program itself never calls them, and on Windows
// they do not exist: only tests include this header.
#pragma once

#include <windows.h>

namespace fxtest {

// The multimedia tick: from now on timeGetTime returns `ms`, then `ms + step`, `ms + 2 * step`...
// Until UseRealTick, the monotonic clock is not read.
void SetTick(DWORD ms, DWORD stepPerRead = 0);
void UseRealTick();
// How many times timeGetTime has been called since the process started.
unsigned long TickReads();

// GetAsyncKeyState(vk) reads this state instead of the display's while an override is set.
// `pressedSincePoll` sets the low bit for the next poll only, as a press that has already ended.
void SetKeyState(int vk, bool down, bool pressedSincePoll = false);
void ClearKeyStates();

// Every call of DefWindowProcA is counted, and the last one kept (window is not recorded).
unsigned long DefWindowProcCalls();
MSG LastDefWindowProc();

// The next call of the named layer function (for example "CreateUnorderedAccessView") returns
// `hr` without doing anything, or the call after `passing` more that go through. Each injection is
// used once.
void FailNextCall(const char* call, HRESULT hr, int passing = 0);
void ClearFailures();

// Live objects of one kind ("ID3D11Buffer", "HWND"...), or of every kind when kind is null. Vulkan
// objects that the layer keeps in caches ("VkPipeline") are counted by their own name only.
long LiveObjects(const char* kind = nullptr);

} // namespace fxtest

// ---- Direct3D 11 stand-in ----
namespace fxtest {
// Vulkan validation messages (warnings and errors) seen so far, across every device of the process.
long ValidationMessages();
// Devices made from now on lack the named shader feature ("shaderFloat64"...), as a device that
// does not offer it; null shows every feature again.
void HideDeviceFeature(const char* name);
// Window surfaces offer these formats (VkFormat values, sRGB non-linear colour space) to the swap
// chains made from now on; none gives their own again.
void OfferSurfaceFormats(const int* formats, int count);
// The device reports `format` without `features` (VkFormatFeatureFlags) for optimal tiling.
void HideFormatFeatures(int format, unsigned features);
// The next `count` acquisitions and presents of swapchain images that succeed answer SUBOPTIMAL.
void AnswerSuboptimal(int count);
// Vulkan swapchains made so far by the process.
long SwapchainsMade();
// While held, the window gives the next image it is asked for at once but keeps it in use (its
// semaphore and fence unsignalled) until HoldWindowImages(false), as a compositor may.
void HoldWindowImages(bool hold);
} // namespace fxtest

// ---- HLSL compiler stand-in ----
namespace fxtest {
// D3DCompile2 stops a compile that runs longer than `ms`; 0 restores the program's limit of 30 s.
void SetCompileTimeLimit(unsigned ms);
// The process id of the compile server, 0 when compiles fork from this process itself.
int CompileServerProcess();
// With false, compiles fork from this process itself, as without a server; true uses the server again.
void UseCompileServer(bool use);
} // namespace fxtest
