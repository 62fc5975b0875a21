#include "differences.h"

namespace conformance {

const Difference kWineStructuredBuffers = {
    "wine-compiler-structured-buffers",
    "Wine's HLSL compiler refuses RWStructuredBuffer and SV_DispatchThreadID, so the dispatch over "
    "the screen buffer is not run there",
    "the program's screen buffer is a structured buffer written by thread, which Windows' compiler builds"};

const Difference kWineNoPixelStage = {
    "wine-draw-without-pixel-stage", "Wine writes colour when a draw has no pixel stage bound",
    "Direct3D 11 writes no colour without a pixel stage, and a shader with no pixel stage draws nothing"};

} // namespace conformance
