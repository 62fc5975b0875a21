// error: 7: glslang crashes on shifts of integer matrices such as this 'int2x3'
RWStructuredBuffer<int> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int2x3 m = 1;
    m = m << 1;
    o[0] = m[0][0];
}
