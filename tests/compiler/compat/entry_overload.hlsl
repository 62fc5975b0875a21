// expect: 6 12
// An entry point's name with other definitions beside it: the one whose parameters carry semantics
// is the entry, and the others are called as functions.
RWStructuredBuffer<uint> o : register(u0);

uint cs_main(uint a) { return a * 2; }
uint cs_main(uint a, uint b);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = cs_main(3);
    o[1] = cs_main(3, 4);
}

uint cs_main(uint a, uint b) { return a * b; }
