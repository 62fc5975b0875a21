// expect: 4
// A thread group size folded through min, max and abs, as Windows folds it.
#define GROUP_SIZE min(max(4 / 2, abs(-4)), 32)
RWStructuredBuffer<uint> o : register(u0);
groupshared uint threads;

[numthreads(GROUP_SIZE, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    if (id.x == 0)
        threads = 0;
    GroupMemoryBarrierWithGroupSync();
    InterlockedAdd(threads, 1);
    GroupMemoryBarrierWithGroupSync();
    if (id.x == 0)
        o[0] = threads;
}
