// expect: 4. 5. 6. 7. 0. 0. 0. 0. 1. 1. 1. 1.
// stride: 16
// Shader model 3's samplers of every dimension with the calls a compute shader may make, and
// samplers and textures declared inside a cbuffer, which take no room in it: `k` follows `tint` at
// word 4 of b0. Nothing is bound, so each read gives zeros, as on Windows.
sampler1D Ramp : register(s1);
samplerCUBE Sky;
sampler3D Volume;
sampler2D Plain;
cbuffer Material : register(b0)
{
    float4 tint;
    sampler2D Inside;
    Texture2D Map : register(t5);
    float k;
};
RWStructuredBuffer<float4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = tex1Dlod(Ramp, float4(0.5, 0, 0, 0)) + texCUBElod(Sky, float4(1, 0, 0, 0)) +
           tex3Dlod(Volume, float4(0.5, 0.5, 0.5, 0)) + tex2Dlod(Inside, float4(0.5, 0.5, 0, 0)) + tint + k;
    o[1] = tex1Dgrad(Ramp, 0.5, 0.1, 0.1) + texCUBEgrad(Sky, float3(1, 0, 0), 0.1, 0.1) +
           tex2Dgrad(Plain, 0.5, 0.1, 0.1) + tex1D(Ramp, 0.5, 0.1, 0.1) + tex3Dgrad(Volume, 0.5, 0.1, 0.1) +
           Map.Load(int3(0, 0, 0));
    o[2] = 1;
}
