// error: 3: either static or uniform, not both
RWStructuredBuffer<float> o : register(u0);
static uniform float scale = 2;
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[id.x] = scale;
}
