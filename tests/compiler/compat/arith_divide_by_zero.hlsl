// expect: 4294967295 4294967295 4294967295 4294967295 8 2
RWStructuredBuffer<uint> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    uint x = 42, zero = 0, five = 5 + id.x;
    o[0] = x / zero; o[1] = x % zero;
    o[2] = (x + id.x) / id.x; o[3] = (x + id.x) % id.x;
    o[4] = x / five; o[5] = x % five;
}
