// expect: 1. 2. 2. 2. 8. 2. 1. 1.5 0.5
// Overloads as Windows ranks them: int to uint before a minimum-precision type; scalars given to
// transpose and determinant (a float), ldexp with a float exponent, and buffer and texture loads at
// float coordinates, which are truncated. Nothing is bound at t0, t1 or u1: their loads read zero.
RWStructuredBuffer<float> o : register(u0);
RWBuffer<float> r : register(u1);
Buffer<float> buf : register(t0);
Texture2D<float> tex : register(t1);

float f(uint a) { return 1; }
float f(min16float a) { return 2; }

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int i = 3;
    float s = 2;
    o[0] = f(i);
    o[1] = transpose(s);
    o[2] = determinant(s);
    o[3] = all(s) + any(s);
    o[4] = ldexp(s, 2.0);
    o[5] = buf.Load(1.7) + tex.Load(float3(1.5, 2.5, 0)) + r.Load(2.5) + r[1.5] + 2;
    o[6] = transpose(i) / 2;
    o[7] = determinant(i) / 2;
    o[8] = ldexp(s, -2.0);
}
