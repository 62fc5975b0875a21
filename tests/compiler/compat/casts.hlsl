// expect: 6.0 2.0 6.0 7.0 6.0 12.0 6.0 5.0 12.0 8.0
cbuffer Pattern : register(b0)
{
    float4 v;   // (0, 1, 2, 3)
    float4 w;   // (4, 5, 6, 7)
    float2x2 m; // column by column: rows (8, 12) and (9, 13)
};
RWStructuredBuffer<float> o : register(u0);

struct Pair { float a; float3 b; };
struct Colors { uint2 color[2]; };

// Statics initialised from constant buffer members through casts.
static const float table[4] = (float[4])w;
static Pair pair = (Pair)m;

// Casts take the components in order: members as declared, elements by index, matrices row by row.
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    uint a[4] = (uint[4])uint4(4, 5, 6, 7);
    o[0] = a[2];
    Pair p = (Pair)v;
    o[1] = p.b.y;
    Colors c = (Colors)(Pair)w;
    o[2] = c.color[1].x;
    float4 back = (float4)c;
    o[3] = back.w;
    float2x2 k = (float2x2)a;
    o[4] = k[1][0];
    float4 flat = (float4)m;
    o[5] = flat.y;
    float2x2 x;
    (float4)x = w;
    o[6] = x[1][0];
    o[7] = table[1];
    o[8] = pair.b.x;
    o[9] = pair.a;
}
