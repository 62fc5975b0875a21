// expect: 9 9 4 4 4 1 2 3 4
cbuffer Pattern : register(b0) { float c0, c1, c2, c3, c4; }
RWByteAddressBuffer b : register(u0);

// Store2, Store3 and Store4 replicate a scalar value.
[numthreads(1, 1, 1)]
void cs_main()
{
    b.Store2(0, 9);
    uint k = (uint)c4;
    b.Store3(8, k);
    b.Store4(20, uint4(1, 2, 3, 4));
}
