// error: 4: a one-row or one-column matrix such as this 'float1x4'
// A constant buffer lays it out a register a column, as no vector: refused on its line.
struct Weights { float4 w; };
struct Row { float1x4 r; };
cbuffer Pattern : register(b0) { Weights weights; Row row; };
RWStructuredBuffer<float4> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = row.r[0] + weights.w;
}
