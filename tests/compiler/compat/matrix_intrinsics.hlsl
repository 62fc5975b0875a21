// expect: 3.0 1.0 -2.0 -4.5 2.0 1.0 -1.0 0.25 0.0
cbuffer Pattern : register(b0) { float4 v; }; // (0, 1, 2, 3)
RWStructuredBuffer<float> o : register(u0);

// Intrinsics of matrices apply to each component; the sign of a float matrix is an int matrix.
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float2x2 f = float2x2(v.x - 1, -v.y, v.z, -v.w); // rows (-1, -1) and (2, -3)
    float2x2 g = f * 2;
    float2x2 a = abs(f);
    o[0] = a[1][1];
    float2x2 c = clamp(f, -2, 1);
    o[1] = c[1][0];
    o[2] = c[1][1];
    float2x2 l = lerp(f, g, 0.5);
    o[3] = l[1][1];
    float2x2 m = max(abs(sin(f * 0)), f);
    o[4] = m[1][0];
    int2x2 s = sign(f);
    o[5] = s[1][0];
    o[6] = s[1][1];
    float2x2 saturated = saturate(f * 0.25 + 0.5);
    o[7] = saturated[0][0];
    o[8] = saturated[1][1];
}
