// expect: 0 1 2 3 4 6 10 3
RWStructuredBuffer<uint> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    for (uint i = 0; i < 2; ++i) { o[i] = i; }
    for (i = 2; i < 4; ++i) { o[i] = i; }
    o[4] = i;
    uint sum = 0;
    [unroll] for (int j = 0; j < 4; j++)
        sum += j;
    o[5] = sum;
    o[6] = j + sum;
    uint k = 7;
    for (uint k = 0; k < 3; ++k) {}
    o[7] = k;
}
