// HLSL put before every source, for intrinsics that glslang computes otherwise than Windows does:
// `lit`'s specular term is a power, not a product (`lit(1.2, 2, 3).z` is 8), and `fmod` of two
// literals is not folded by GLSL's rule (`fmod(-0.5, 6.5)` is -0.5), since a divisor plus a zero that
// is not a constant keeps glslang from folding it; `ldexp` takes a float exponent, as `exp2` does,
// where glslang's wants an int. All are macros, so that only calls are rewritten.
#pragma once

namespace platform::d3dcompiler {

// Ends with `#line 1`, so that the source keeps its numbering.
extern const char kWindowsPrelude[];

} // namespace platform::d3dcompiler
