// stride: 12
// expect: 1.0 2.0 3.0 4.0 5.0 6.0 7.0
RWStructuredBuffer<float3> o : register(u0);

[numthreads(3, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = float3(1, 2, 3) + id.x * 3; }
