// rings: every pixel a pure function of its position and the clock, nothing kept between frames.
// Two wave sources drift about the screen; where their rings meet they interfere.

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
    float2 p = (pixel - 0.5 * float2(kWidth, kHeight)) / kHeight;
    float2 a = 0.35 * float2(cos(time * 0.7), sin(time * 0.9));
    float2 b = 0.35 * float2(cos(time * 0.5 + 2.0), sin(time * 0.8 + 1.0));
    float wave = sin(length(p - a) * 60.0 - time * 4.0) + sin(length(p - b) * 60.0 - time * 4.0);
    float v = 0.5 + 0.25 * wave;
    return float4(v * 0.2, v * 0.7, v, 1.0);
}

// Threads numbered along the buffer rather than by pixel: 40 x 22 groups of 1,024 threads (the most
// a group may have) are 901,120 threads for 921,600 cells, so thread n shades cell n and, for the
// first 20,480 threads, cell n + 901,120 too. No group size gives every cell a thread of its own.
[numthreads(1024, 1, 1)]
void cs_main(uint3 group : SV_GroupID, uint thread : SV_GroupIndex)
{
    uint n = (group.y * 40 + group.x) * 1024 + thread;
    for (uint cell = n; cell < kWidth * kHeight; cell += 40 * 22 * 1024)
        screenOut[cell] = Shade(float2(cell % kWidth, cell / kWidth) + 0.5);
}

float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 p = min(uint2(position.xy), uint2(kWidth - 1, kHeight - 1));
    return screenIn[p.y * kWidth + p.x];
}
