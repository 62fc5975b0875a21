// error: 8: GetRenderTargetSampleCount
RWStructuredBuffer<uint> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    // GetRenderTargetSampleCount() in a comment is not the call
    o[0] = GetRenderTargetSampleCount();
}
