// expect: 64 4 4 5 6 7 4 1
cbuffer Pattern : register(b0) { float c0; float c1; float c2; float c3; float c4; float c5; float c6; float c7; }
RWStructuredBuffer<uint> o : register(u0);

struct Vertex { float4 position; float2 uv; uint id; };
struct Interpolants { float4 position; float3 uvw; };
struct Colors { uint2 color[2]; };

// A structure returned as another of as many components: copied component by component.
Interpolants Pass(Vertex v) { return v; }

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    // GetDimensions' results converted into outputs of other types.
    float2 size;
    uint stride;
    o.GetDimensions(size.y, stride);
    Vertex v = { float4(c1, c2, c3, c4), float2(c5, c6), (uint)c7 };
    Interpolants i = Pass(v);
    o[0] = size.y;
    o[1] = stride;
    o[2] = i.position.w;
    o[3] = i.uvw.x;
    o[4] = i.uvw.y;
    o[5] = i.uvw.z;
    // An array assigned from a structure of one such array, and the other way round.
    Colors box[1];
    box[0].color[0] = uint2(c1, c2);
    box[0].color[1] = uint2(c3, c4);
    uint2 pair[2];
    pair = box[0];
    Colors back;
    back = pair;
    o[6] = pair[1].y;
    o[7] = back.color[0].x;
}
