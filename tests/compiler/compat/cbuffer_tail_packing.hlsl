// expect: 0.0 4.0 8.0 9.0 12.0 13.0 14.0 16.0 20.0 21.0 22.0 23.0
struct S { float x; float y; };
struct T { float v[2]; };
cbuffer Tail : register(b0)
{
    float a;    // word 0
    float b[2]; // words 4 and 8
    float c;    // word 9: right after b[1]
    S s;        // words 12-13: a struct starts a register
    float d;    // word 14: right after s
    T t;        // words 16 and 20
    float e;    // word 21
    float2 f;   // words 22-23
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = a; o[1] = b[0]; o[2] = b[1]; o[3] = c; o[4] = s.x; o[5] = s.y; o[6] = d;
    o[7] = t.v[0]; o[8] = t.v[1]; o[9] = e; o[10] = f.x; o[11] = f.y;
}
