// expect: 1.0 4.0 18.0 20.0 21.0 11.0 20.0 5.0
// Typedefs of matrices declared under `#pragma pack_matrix(row_major)` are row-major; casts still
// take their components row by row.
#pragma pack_matrix(row_major)
typedef float4x4 Mat;
typedef float2x3 Small;
cbuffer Rows : register(b0) { Mat n; Small s; }; // n[r][c] is word 4r + c; s[r][c] word 16 + 4r + c
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = n[0].y; o[1] = n[1].x; o[2] = s[0].z; o[3] = s[1].x; o[4] = s._m11;
    Mat l = n;
    o[5] = l[2].w;
    float4 r = (float4)s;
    o[6] = r.w;
    o[7] = ((float2x2)n)[1][1];
}
