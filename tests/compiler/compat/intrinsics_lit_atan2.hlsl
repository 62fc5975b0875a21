// expect: 1.0 1.2 8.0 1.0 0.0 3.14159274
cbuffer Pattern : register(b0) { float zero; float one; float two; float three; };
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 l = lit(1.2 + zero, two, three);
    o[0] = l.x; o[1] = l.y; o[2] = l.z; o[3] = l.w;
    o[4] = lit(-one, two, three).z;
    o[5] = atan2(-zero, -one);
}
