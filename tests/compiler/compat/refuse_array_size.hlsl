// error: 3: each may have at most 65536 elements
RWStructuredBuffer<float> o : register(u0);
static float big[65537];
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    big[id.x] = 1;
    o[id.x] = big[id.x];
}
