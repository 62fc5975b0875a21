// expect: 2 -5 7 -2 -7 -9 -11 -4 512 -20
// The Interlocked methods of a byte-address buffer with int values and originals: the words are
// reinterpreted, and Min and Max compare signed or unsigned as the value's type is.
RWByteAddressBuffer b : register(u0);
groupshared int g;

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    b.Store(0, 5);
    b.Store(8, 7);
    b.Store(12, -2);
    b.Store(28, 12);
    int orig, x, c, y;
    uint u;
    b.InterlockedAdd(0, -3, orig);
    b.InterlockedMin(4, -5, u);
    b.InterlockedMax(8, -1);
    b.InterlockedMax(12, 3u);
    b.InterlockedExchange(16, -7, x);
    b.InterlockedCompareExchange(20, 0, -9, c);
    b.InterlockedCompareStore(24, 0, -11);
    b.InterlockedOr(28, -16, y);
    b.Store(32, orig * 100 + y + u + x + c);
    g = 4;
    InterlockedCompareStore(g, 4, -20);
    b.Store(36, g);
}
