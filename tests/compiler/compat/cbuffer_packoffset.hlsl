// expect: 13.0 6.0 7.0 0.0 4.0 8.0
cbuffer Placed : register(b0)
{
    float p : packoffset(c3.y);  // word 13
    float2 q : packoffset(c1.z); // words 6-7
    float b[2] : packoffset(c0); // words 0 and 4
    float c : packoffset(c2);    // word 8, where glslang would put it, not 5 after b[1]
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = p; o[1] = q.x; o[2] = q.y; o[3] = b[0]; o[4] = b[1]; o[5] = c;
}
