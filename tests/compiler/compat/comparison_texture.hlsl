// expect: 0. 1.
// A texture read both plainly and through a comparison sampler is one register, t3. Nothing is bound
// there, so both reads give zero.
Texture2D<float> ShadowMap : register(t3);
SamplerState PointSampler : register(s0);
SamplerComparisonState ShadowSampler : register(s1);
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = ShadowMap.SampleLevel(PointSampler, 0.5, 0) + ShadowMap.SampleCmpLevelZero(ShadowSampler, 0.5, 0.3);
    o[1] = 1;
}
