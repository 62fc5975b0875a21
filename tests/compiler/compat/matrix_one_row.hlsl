// expect: 1.0 2.0 3.0 4.0 7.0 3.0 18.0 4.0 70.0 3.0 -6.0 12.0 21.0
cbuffer Pattern : register(b0) { float4 v; }; // (0, 1, 2, 3)
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
}
