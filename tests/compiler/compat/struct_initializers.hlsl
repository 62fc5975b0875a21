// expect: 5 2 7 1
cbuffer Pattern : register(b0) { float c0; float c1; float c2; float c3; float c4; float c5; float c6; float c7; }
RWStructuredBuffer<uint> o : register(u0);

// Structure initializers filled from a flat list, braces or not.
struct SH4 { float c[4]; };
struct SH4Color { float3 c[4]; };
struct Vertex { float4 position; float2 uv; };

uint Green(SH4Color sh)
{
    SH4 g = { sh.c[0].y, sh.c[1].y, sh.c[2].y, sh.c[3].y };
    return g.c[1];
}

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    SH4Color s = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };
    Vertex vertex[] =
    {
        { -1.0f, -1.0f, 1.0f, 1.0f }, { 0.0f, 1.0f },
        { c2, c3, c4, c5 }, { c6, c7 },
    };
    o[0] = Green(s);
    o[1] = vertex[1].position.x;
    o[2] = vertex[1].uv.y;
    o[3] = vertex[0].uv.y;
}
