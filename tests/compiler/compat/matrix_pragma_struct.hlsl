// expect: 0.0 1.0 2.0 3.0 16.0 20.0 24.0 28.0 0.0 1.0 2.0 3.0
#pragma pack_matrix(row_major)
struct Rows { float4x4 m; }; // row by row: the pragma in force where the member is declared
float4 FirstRow(float4x4 m) { return m[0]; }
#pragma pack_matrix(column_major)
cbuffer Both : register(b0)
{
    Rows r;     // words 0-15, row by row
    float4x4 c; // words 16-31, column by column
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = r.m[0].x; o[1] = r.m[0].y; o[2] = r.m[0].z; o[3] = r.m[0].w;
    o[4] = c[0].x; o[5] = c[0].y; o[6] = c[0].z; o[7] = c[0].w;
    float4 first = FirstRow(r.m);
    o[8] = first.x; o[9] = first.y; o[10] = first.z; o[11] = first.w;
}
