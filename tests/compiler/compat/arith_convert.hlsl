// expect: 0 0 4294967295 3 0 -2147483648 2147483647 -3 0 4294967295 2147483647
RWStructuredBuffer<int> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float zero = id.x, neg = -3.6 - id.x;
    float nan = zero / zero, huge = 1e20 + id.x;
    o[0] = (uint)neg; o[1] = (uint)nan; o[2] = (uint)huge; o[3] = (uint)(3.6 + id.x);
    o[4] = (int)nan; o[5] = (int)-huge; o[6] = (int)huge; o[7] = (int)neg;
    uint2 v = (uint2)float2(neg, huge);
    o[8] = v.x; o[9] = v.y;
    o[10] = (int)(2147483648.0 + id.x);
}
