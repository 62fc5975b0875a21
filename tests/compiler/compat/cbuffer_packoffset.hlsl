// expect: 13.0 6.0 7.0
cbuffer Placed : register(b0)
{
    float p : packoffset(c3.y);  // word 13
    float2 q : packoffset(c1.z); // words 6-7
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = p; o[1] = q.x; o[2] = q.y;
}
