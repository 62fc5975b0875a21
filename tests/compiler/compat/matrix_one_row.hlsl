// expect: 1.0 2.0 3.0 4.0 7.0 3.0 18.0 4.0 70.0 3.0 -6.0 12.0 21.0 5.0 25.0 1.0 7.0
cbuffer Pattern : register(b0)
{
    float4 v;   // (0, 1, 2, 3)
    float4x4 M; // column by column: M[r][c] is word 4 + 4c + r
};
RWStructuredBuffer<float> o : register(u0);

// One-row and one-column matrices constructed, converted and returned where vectors are expected.
float4 Row() { return float1x4(1, 2, 3, 4); }
float1x3 Pack(float3 a) { return (float1x3)a; }

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 r = Row();
    o[0] = r.x; o[1] = r.y; o[2] = r.z; o[3] = r.w;
    float4x1 c = float4x1(5, 6, 7, 8);
    o[4] = c[2][0];
    float1x4 q = (float1x4)(v + 1);
    o[5] = q._m02;
    o[6] = q[0][1] + c._41 * 2;
    float4 row = q[0];
    o[7] = row.w;
    o[8] = mul(q, c);
    float1x3 p = Pack(v.yzw);
    o[9] = p._m00_m02.y;
    int1x2 k = int1x2(5, -6);
    o[10] = k[0][1];
    // A column times a row is a matrix.
    float4x4 outer = mul(c, q);
    o[11] = outer[1][1];
    o[12] = outer[2][2];
    // A cast of a wider matrix takes its top-left corner: a column, or a row.
    float4x1 first = (float4x1)M;
    float1x2 top = (float1x2)M;
    o[13] = first[1][0];
    o[14] = first._m10 * 5;
    o[15] = top._m01 - first._41;
    float1x4 across = transpose(first);
    o[16] = across[0][3];
}
