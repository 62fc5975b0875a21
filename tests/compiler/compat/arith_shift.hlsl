// expect: 4 -2147483648 4 -2147483648 8 1073741824
RWStructuredBuffer<int> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int one = 1, big = 34, minus = -1;
    int r = 1 + id.x, rbig = 34 + id.x, rminus = -1 - (int)id.x;
    o[0] = one << big; o[1] = one << minus;
    o[2] = r << rbig; o[3] = r << rminus;
    o[4] = (-2147483648 + (int)id.x) >> 60 == -8 ? 8 : 0;
    o[5] = int((0x80000000u + id.x) >> (33u + id.x));
}
