// trivial.fx: the least a shader file can ask of fxview, so that a benchmark on it shows the fixed cost
// of a frame (upload, dispatch, clear, draw, present) rather than the cost of the shaders.
// The compute stage does nothing; the pixel stage paints one flat colour.

float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, 1.0);
}

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
}

float4 ps_main(float4 position : SV_Position) : SV_Target
{
    return float4(0.25, 0.5, 0.75, 1.0);
}
