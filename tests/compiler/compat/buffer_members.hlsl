// expect: 0 4 5
// A named buffer's member placed by `register(cN)`, which shader model 4 and later ignore, and empty
// declarations in a buffer and a structure.
cbuffer Named : register(b0) { float4 a : register(c2); float b; ; };
struct Pair { float x;; uint y; };
RWStructuredBuffer<uint> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Pair p = { b, 5 };
    o[0] = a.x;
    o[1] = p.x;
    o[2] = p.y;
}
