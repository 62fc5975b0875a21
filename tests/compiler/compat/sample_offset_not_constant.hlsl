// error: 10: texture sample
// Vulkan takes only constant texel offsets: the compile refuses what the device would.
Texture2D<float4> t : register(t0);
SamplerState s : register(s0);
RWStructuredBuffer<float4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = t.SampleLevel(s, float2(0.5, 0.5), 0, int2(id.x, 0));
}
