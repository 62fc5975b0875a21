// expect: 7 16
RWStructuredBuffer<uint> o : register(u0);

// A macro whose name ends at an escaped line break, its body on the lines after.
#define SEVEN\
    7
#define ATTRIBUTES\
[\
    numthreads(1, 1, 1)\
]

ATTRIBUTES
void cs_main()
{
    o[0] = SEVEN;
    o[1] = __LINE__;
}
