// expect: 0.0 5.0 10.0 15.0 4.0 1.0 14.0 11.0 70.0 80.0
cbuffer Pattern : register(b0) { float4x4 P; }; // column by column: P[r][c] is word 4c + r
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4x4 m = P;
    // Swizzles of several components read: zero-based and one-based, of locals and of members.
    float4 diagonal = m._m00_m11_m22_m33;
    float2 a = P._12_21;
    float2 b = m._m23_m32;
    o[0] = diagonal.x; o[1] = diagonal.y; o[2] = diagonal.z; o[3] = diagonal.w;
    o[4] = a.x; o[5] = a.y; o[6] = b.x; o[7] = b.y;
    // Written, then read back.
    m._m01_m10 = float2(70, 80);
    float2 e = m._12_21;
    o[8] = e.x; o[9] = e.y;
}
