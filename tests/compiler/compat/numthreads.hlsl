// expect: 64 32 8 2
#define N 64
#define HALF (N / 2)
static const uint2 kTile = uint2(8, 2);
RWStructuredBuffer<uint> o : register(u0);

[numthreads(N, 1, 1)]
void first(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }

[numthreads(N > 32 ? 32 : N, 1, 1)]
void second(uint3 id : SV_DispatchThreadID) { o[id.x] = 2; }

[numthreads((uint)HALF, kTile.x / 8, !0 + (N == 64))]
void cs_main(uint3 gi : SV_GroupThreadID)
{
    if (gi.x == 0 && gi.z == 0) { o[0] = N; o[1] = HALF; o[2] = kTile.x; }
    if (gi.x == 0 && gi.z == 1) o[3] = 2;
}
