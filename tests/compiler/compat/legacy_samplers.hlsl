// expect: 0. 0. 0. 0. 1. 2. 3. 4.
// stride: 16
// Shader model 3's samplers, as shader model 4 compiles them: a texture and a sampler state in one
// register number. Nothing is bound, so each read gives zeros, as on Windows.
sampler2D Diffuse : register(s2);
sampler3D Volume;
RWStructuredBuffer<float4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = tex2Dlod(Diffuse, float4(0.5, 0.5, 0, 0)) + tex3Dlod(Volume, float4(0.5, 0.5, 0.5, 1)) +
           tex2D(Diffuse, float2(0.5, 0.5), float2(1, 0), float2(0, 1));
    o[1] = float4(1, 2, 3, 4);
}
