221// palette: a zoom into the Mandelbrot set, coloured by helpers from another file (#include).
#include "palette.hlsl"

cbuffer SceneConstants : register(b0)
{
    float time;
};

static const uint kWidth = 1280;
static const uint kHeight = 720;
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);

float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, 1.0);
}

float4 Shade(float2 pixel)
{
    float zoom = exp2(-fmod(time, 20.0) * 0.6);
    float2 centre = float2(-0.743643887, 0.131825904);
    float2 c = centre + (pixel - 0.5 * float2(kWidth, kHeight)) / kHeight * 2.5 * zoom;
    float2 z = 0.0;
    uint i = 0;
    const uint kIterations = 256;
    for (; i < kIterations && dot(z, z) < 16.0; ++i)
        z = float2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;
    if (i == kIterations)
        return float4(0.0, 0.0, 0.0, 1.0);
    // Smooth iteration count, so the bands do not step.
    float smoothI = i - log2(log2(dot(z, z))) + 4.0;
    return float4(Sunset(smoothI / 64.0 + time * 0.05), 1.0);
}

[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    // Rows 704 to 719 are past the dispatch: each thread of the first rows takes one of them too.
    screenOut[id.y * kWidth + id.x] = Shade(float2(id.xy) + 0.5);
    if (id.y + 704 < kHeight)
        screenOut[(id.y + 704) * kWidth + id.x] = Shade(float2(id.x, id.y + 704) + 0.5);
}

float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 p = min(uint2(position.xy), uint2(kWidth - 1, kHeight - 1));
    return screenIn[p.y * kWidth + p.x];
}
