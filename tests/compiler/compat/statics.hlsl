// expect: 0.0 0.0 0 1 2 3
struct Pair { float a; float b; int c; };
static Pair zeroed;
RWStructuredBuffer<float> o : register(u0);

int Count()
{
    static int calls = 0;
    return calls++;
}

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = zeroed.a; o[1] = zeroed.b; o[2] = asfloat(zeroed.c);
    o[3] = asfloat(Count() + 1); o[4] = asfloat(Count() + 1); o[5] = asfloat(Count() + 1);
}
