// expect: 3.0
RWStructuredBuffer<float> o : register(u0);
Texture2D<float4> tex : register(t0);
SamplerState linearSampler : register(s0)
{
    Filter = MIN_MAG_MIP_LINEAR;
    AddressU = Wrap;
};
BlendState NoBlend { BlendEnable[0] = FALSE; };
DepthStencilState NoDepth { DepthEnable = FALSE; };

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = 3 + tex.SampleLevel(linearSampler, 0, 0).x; }

technique11 Compute
{
    pass P0 { SetComputeShader(CompileShader(cs_5_0, cs_main())); }
}
fxgroup Extra { technique11 T { pass P { SetBlendState(NoBlend, float4(0, 0, 0, 0), 0xFFFFFFFF); } } }
