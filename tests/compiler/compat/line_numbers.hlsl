// error: 21: 'missing' : unknown variable
RWStructuredBuffer<unsigned int> o : register(u0);
static const float2 kPairs[2] =
{
    1, 2,
    3, 4
};
SamplerState s
{
    Filter = MIN_MAG_MIP_POINT;
};
#if 0
#error it's old
#endif
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    for (DWORD i = 0;
         i < 2; ++i) {}
    o[i] = kPairs[1].y;
    o[0] = missing;
}
technique11 T { pass P { } }
