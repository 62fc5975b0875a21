#include "source_prelude.h"

namespace platform::d3dcompiler {

const char kWindowsPrelude[] =
    "static float fxview_zero = 0;\n"
    "float4 fxview_lit(float n_dot_l, float n_dot_h, float m) {\n"
    "    return float4(1, max(n_dot_l, 0), n_dot_l < 0 || n_dot_h < 0 ? 0 : pow(n_dot_h, m), 1);\n"
    "}\n"
    "#define lit(n_dot_l, n_dot_h, m) fxview_lit(n_dot_l, n_dot_h, m)\n"
    "#define fmod(x, y) ((x) % ((y) + fxview_zero))\n"
    "#define ldexp(x, e) ((x) * exp2(e))\n"
    "#line 1\n";

} // namespace platform::d3dcompiler
