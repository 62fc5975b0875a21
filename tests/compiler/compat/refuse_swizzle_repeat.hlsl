// error: 7: a swizzle assigned to may not name a component twice
RWStructuredBuffer<float4> o : register(u0);
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 x = 0;
    x.xzzx = float4(1, 2, 3, 4); // glslang keeps one of the two values for z
    o[id.x] = x;
}
