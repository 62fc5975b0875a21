// expect: 1 0 1 0 1 0
cbuffer Pattern : register(b0) { float c0; float c1; float c2; }
RWStructuredBuffer<uint> o : register(u0);

// any() and all() of a scalar: whether it is nonzero.
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float e = c1 - 0.5;
    int k = int(c2) - 2;
    o[0] = all(e > 0.0);
    o[1] = any(e > 1.0);
    o[2] = any(e);
    o[3] = all(k);
    o[4] = all(int(c1));
    o[5] = any(c0);
}
