// error: 4: has no [numthreads(x, y, z)]
RWStructuredBuffer<uint> o : register(u0);

void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }
