// expect: 3
// Pipeline states the application sets, declared without a state block.
RasterizerState RS_SolidFill;
BlendState NoBlending[2];
RWStructuredBuffer<uint> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = 3;
}
