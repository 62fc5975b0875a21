#include "differences.h"

namespace conformance {

const Difference kWineConstantBuffers = {
    "wine-constant-buffer-descriptions",
    "Wine's CreateBuffer takes a constant buffer over 64 KiB, and one with another bind flag",
    "Direct3D 11 documents a constant buffer as at most 4096 16-byte elements and its bind flag as not "
    "combined with another; a shader that relies on either fails on Windows"};

const Difference kWineDefaultTextureCpuAccess = {
    "wine-default-texture-cpu-access",
    "Wine's CreateTexture2D takes a default-usage texture with CPU read access",
    "Direct3D 11 documents default usage as out of the CPU's reach; a texture the program maps is a "
    "staging one"};

const Difference kWineDiscardStaging = {
    "wine-discard-staging", "Wine's Map takes D3D11_MAP_WRITE_DISCARD on a staging buffer",
    "Direct3D 11 documents WRITE_DISCARD for dynamic resources only; staging memory the program "
    "writes is mapped with D3D11_MAP_WRITE"};

const Difference kWineNullArguments = {
    "wine-null-arguments",
    "Wine's CreateBuffer and CreateUnorderedAccessView read a null description or resource and crash, "
    "so those calls are not made there",
    "Direct3D 11 returns E_INVALIDARG for a buffer without a description or a view of no resource"};

const Difference kWineNotAWindow = {
    "wine-swap-chain-without-window",
    "Wine's D3D11CreateDeviceAndSwapChain makes a swap chain on a handle that names no window",
    "Direct3D 11 answers DXGI_ERROR_INVALID_CALL and makes nothing, so a program that passes a stale "
    "handle learns it at once"};

const Difference kWineStructuredBuffers = {
    "wine-compiler-structured-buffers",
    "Wine's HLSL compiler stops with a syntax error at a RWStructuredBuffer declaration, so the "
    "dispatch over a structured buffer and the draw that reads it are not run there",
    "the program's screen buffer is a structured buffer written by thread, which shader model 5 "
    "defines and Windows' compiler builds"};

const Difference kWineNoPixelStage = {
    "wine-draw-without-pixel-stage",
    "Wine writes white wherever a draw with no pixel stage bound covers the render target",
    "Direct3D 11 documents that with no pixel shader bound no colour reaches the render target, so the "
    "clear stays"};

const Difference kWineValidationOnly = {
    "wine-validation-only-calls",
    "Wine's CreateBuffer and CreateUnorderedAccessView write the new object through a null "
    "out-pointer and crash, so the calls that only validate are not made there",
    "Direct3D 11 documents a null out-pointer as asking for validation alone, answered with S_FALSE"};

} // namespace conformance
