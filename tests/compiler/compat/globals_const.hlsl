// expect: 0.0 1.0 2.0 3.0
float first;
const float second = 7;  // a constant-buffer member, not the constant 7
const float2 third = 3;  // words 2-3: it fits beside them
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = first; o[1] = second; o[2] = third.x; o[3] = third.y;
}
