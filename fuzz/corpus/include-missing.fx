221#include "missing.hlsl"
[numthreads(8, 8, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {}
