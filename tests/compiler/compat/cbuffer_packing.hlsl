// expect: 0.0 1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 12.0 16.0 20.0 24.0 28.0 36.0 37.0
cbuffer Packed : register(b0)
{
    float a;             // word 0
    float3 b;            // words 1-3: fits beside a
    float2 c;            // words 4-5
    float2 d;            // words 6-7
    float e[2];          // words 8 and 12: each element starts a register
    float4x4 m;          // words 16-31, column by column
    row_major float2x2 r; // words 32-33 and 36-37, row by row
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = a;
    o[1] = b.x; o[2] = b.y; o[3] = b.z;
    o[4] = c.x; o[5] = c.y;
    o[6] = d.x; o[7] = d.y;
    o[8] = e[0]; o[9] = e[1];
    o[10] = m[0].x; o[11] = m[0].y; o[12] = m[0].z; o[13] = m[0].w;
    o[14] = r[1].x; o[15] = r[1].y;
}
