// expect: 5.0
// The highest register of each class; none is bound here, so each reads as zero.
cbuffer Last : register(b13) { float4 lastConstant; };
Texture2D<float4> lastTexture : register(t127);
SamplerState lastSampler : register(s15);
RWStructuredBuffer<float> o : register(u0);
RWStructuredBuffer<float> unbound : register(u7);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = 5 + lastConstant.x + lastTexture.SampleLevel(lastSampler, 0, 0).x + unbound[0];
}
