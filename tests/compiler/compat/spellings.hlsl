// expect: 7 3 11 5 9
#include "INC\\Common.hlsli"
RWStructuredBuffer<unsigned int> o : register(u0);

#if 0
#error it's old
#endif

export DWORD Twice(DWORD x) { return x * 2lu; }

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    precise float scale = 1;
    o[0] = kSeven;
    o[1] = 3lu;
    o[2] = Twice(5) + 1;
    o[3] = (unsigned int)(5 * scale);
    o[4] = Nine();
}
