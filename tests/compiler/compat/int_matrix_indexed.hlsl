// expect: 2 3 9 3 -2 1 6
cbuffer Pattern : register(b0) { float4 v; }; // (0, 1, 2, 3)
RWStructuredBuffer<int> o : register(u0);

// Integer matrices constructed and indexed compile; what SPIR-V cannot hold is refused (int_matrix_*).
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int2x2 m = int2x2(1, 2, 3, 4);
    int2x2 n = int2x2(v.y, v.z, 7, 9);
    o[0] = m[0][1];
    o[1] = m._m10;
    o[2] = n[1][1];
    o[3] = m._21;
    uint2x3 u = uint2x3(v.x, 1, v.w, -2, 5, 6);
    int3 row = u[1];
    o[4] = row.x;
    o[5] = u[0].y;
    o[6] = u._m12;
}
