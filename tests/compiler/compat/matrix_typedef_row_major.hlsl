// expect: 16.0 17.0 18.0 19.0 33.0 37.0 41.0 45.0
typedef row_major float4x4 RowMatrix;
cbuffer Rows : register(b0)
{
    float4 pad[4];
    RowMatrix n; // words 16-31, row by row
    float4x4 c;  // words 32-47, column by column
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = n[0].x; o[1] = n[0].y; o[2] = n[0].z; o[3] = n[0].w;
    o[4] = c[1].x; o[5] = c[1].y; o[6] = c[1].z; o[7] = c[1].w;
}
