// flags: row_major
// expect: 16.0 17.0 18.0 19.0
cbuffer Packed : register(b0)
{
    float4 pad[4];
    float4x4 m; // words 16-31, row by row under D3DCOMPILE_PACK_MATRIX_ROW_MAJOR
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = m[0].x; o[1] = m[0].y; o[2] = m[0].z; o[3] = m[0].w;
}
