// expect: 0 4 8 12
RWStructuredBuffer<uint4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    // Reference bytes 1, 0, 3, 4 (a zero byte is masked); source bytes 1, 2, 3, 4, 5, 6, 7, 8.
    o[0] = msad4(0x04030001, uint2(0x04030201, 0x08070605), uint4(0, 1, 2, 3));
}
