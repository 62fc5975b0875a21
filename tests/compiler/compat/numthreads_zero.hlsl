// error: 3: each dimension of a thread group is at least 1
RWStructuredBuffer<uint> o : register(u0);
[numthreads(0, 0, 0)]
void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }
