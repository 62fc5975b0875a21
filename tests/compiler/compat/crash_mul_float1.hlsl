// error: 9: mul with a float1
cbuffer Pattern : register(b0) { float4x4 m; };
RWStructuredBuffer<float4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float1 x = id.x;
    o[0] = mul(x, m);
}
