// expect: 5.0 6.0 7.0 8.0 -1.0 2.5
static const float4 kTable[2] = { 1, 2, 3, 4, 5, 6, 7, 8 };
static const float2 kPair[1] = { -1.0, 2.5f };
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    for (uint c = 0; c < 4; ++c)
        o[c] = kTable[1][c];
    o[4] = kPair[0].x;
    o[5] = kPair[0].y;
}
