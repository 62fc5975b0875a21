// expect: 30 1 3 6
cbuffer Pattern : register(b0) { float c0, c1, c2, c3; }
RWStructuredBuffer<uint> o : register(u0);

// Attribute names in any case, and a switch on a float, as Windows' compiler takes them.
[NumThreads(1, 1, 1)]
void cs_main()
{
    uint sum = 0;
    [UNROLL] for (uint i = 0; i < 4; ++i)
        sum += i * 5;
    o[0] = sum;
    switch (c1) { case 1: o[1] = 1; break; default: o[1] = 2; break; }
    float h = c3 + 0.75;
    switch (h) { case 3: o[2] = 3; break; default: o[2] = 4; break; }
    uint Loop[2] = {4, 6};
    o[3] = Loop[1];
}
