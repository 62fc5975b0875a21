// expect: 1705032704 -2147483648 7 -2147483648 1410065408 705032704 1 -1294967296 2 8 2
// Constant integer arithmetic wraps at 32 bits, as Windows' compiler folds it, in expressions, in an
// array size and in [numthreads]; a literal wider than 32 bits keeps its low 32 bits.
RWStructuredBuffer<int> o : register(u0);
static const int A[2147483647 + 1 == -2147483648 ? 2 : 1] = { 1, 2 };

[numthreads(65536 * 65536 + (1 << 35), 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    InterlockedAdd(o[9], 1);
    if (id.x != 0)
        return;
    o[0] = 3000000000 + 3000000000;
    o[1] = 2147483647 + 1;
    o[2] = 65536 * 65536 + 7;
    o[3] = -(-2147483647 - 1);
    o[4] = 100000 * 100000;
    o[5] = 5000000000;
    o[6] = 4294967295 + 2;
    o[7] = 3000000000;
    o[8] = A[1];
    o[10] = (1 << 34) + (-8 >> 34);
}
