// The Windows smoke test's shader whose vertex stage does not compile: start-up fails.
float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, undefined_w);
}

[numthreads(8, 8, 1)]
void cs_main()
{
}

float4 ps_main(float4 position : SV_Position) : SV_Target
{
    return float4(1.0, 0.0, 0.0, 1.0);
}
