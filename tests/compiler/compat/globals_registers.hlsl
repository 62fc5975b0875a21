// expect: 20.0 8.0 9.0 10.0 11.0
float g : register(c5);  // word 20 of the globals' constant buffer, b0
float4 k : register(c2); // words 8-11
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = g; o[1] = k.x; o[2] = k.y; o[3] = k.z; o[4] = k.w;
}
