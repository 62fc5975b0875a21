// error: 9: integer and boolean matrices such as this 'int2x2'
cbuffer Pattern : register(b0) { float4 v; };
RWStructuredBuffer<int> o : register(u0);

// The sign of a float matrix is an integer matrix, which SPIR-V cannot hold: refused on its line.
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int2x2 s = sign(float2x2(v.x, -v.y, v.z, v.w));
    o[0] = s[0][1];
}
