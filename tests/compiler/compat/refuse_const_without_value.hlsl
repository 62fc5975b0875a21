// error: 6: 'k': a const variable needs an initial value
RWStructuredBuffer<float> o : register(u0);
[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    const float k; // glslang makes it zero
    o[id.x] = k;
}
