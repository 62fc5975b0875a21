// The Windows smoke test's shader: one that Wine's HLSL compiler also accepts (no structured buffer,
// no SV_DispatchThreadID, no sin or frac). Its picture depends on the pixel's position alone, and every
// colour is a whole number of 255ths, so that two devices that round differently still agree exactly.
float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, 1.0);
}

// The compute stage runs each frame but writes nothing: the buffer the program binds is structured,
// which this compiler cannot declare.
[numthreads(8, 8, 1)]
void cs_main()
{
}

// Ramps that repeat every 256 pixels, and a checkerboard of 32-pixel squares in blue.
float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint x = uint(position.x);
    uint y = uint(position.y);
    float checker = (x / 32 + y / 32) % 2;
    return float4((x % 256) / 255.0, (y % 256) / 255.0, checker, 1.0);
}
