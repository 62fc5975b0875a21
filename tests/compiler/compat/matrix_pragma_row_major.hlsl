// expect: 16.0 17.0 18.0 19.0 32.0 33.0 34.0 35.0 48.0 52.0 56.0 60.0 88.0 92.0 96.0 100.0
typedef row_major float4x4 RowMatrix;
#pragma pack_matrix(row_major)
cbuffer Rows : register(b0)
{
    float4 pad[4];
    float4x4 m;               // words 16-31, row by row
    RowMatrix n;              // words 32-47, row by row
    column_major float4x4 c;  // words 48-63, column by column
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = m[0].x; o[1] = m[0].y; o[2] = m[0].z; o[3] = m[0].w;
    o[4] = n[0].x; o[5] = n[0].y; o[6] = n[0].z; o[7] = n[0].w;
    o[8] = c[0].x; o[9] = c[0].y; o[10] = c[0].z; o[11] = c[0].w;
    float4 r = mul(float4(1, 1, 1, 1), m);
    o[12] = r.x; o[13] = r.y; o[14] = r.z; o[15] = r.w;
}
