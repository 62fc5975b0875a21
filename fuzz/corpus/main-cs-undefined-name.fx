221// main.fx: the shader fxview runs, and a starting point for your own. Edit it while the program
// runs and press F5: the compute and pixel stages are built again from this file.
//
// Every frame the program runs cs_main over the screen buffer, then draws one quad over the whole
// 1280 x 720 window whose pixel stage, ps_main, shows the buffer's cell under each pixel.

// b0, in every stage: the program's constant block. Its first float is the clock, the seconds
// since the first frame; the rest of the block (up to 848 bytes) is zero.
cbuffer SceneConstants : register(b0)
{
    float time;
};

// The screen buffer: 1280 x 720 cells of 16 bytes (one float4), one cell per pixel, row after row:
// the cell of pixel (x, y) is y * 1280 + x. The compute stage writes it through u0 and the pixel
// stage reads the same buffer through u1.
static const uint kWidth = 1280;
static const uint kHeight = 720;
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);

// The program dispatches 40 x 22 groups. With 32 x 32 threads a group, that is 1280 x 704 threads:
// one column each, but 16 rows short, so every thread also shades the rows 704 further down.
#define GROUP_WIDTH 32
#define GROUP_HEIGHT 32
static const uint kRowsPerDispatch = 22 * GROUP_HEIGHT;

// The vertex stage: the quad's corners arrive in clip space already.
float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, 1.0);
}

// A smooth rainbow: t = 0 and t = 1 give the same colour.
float3 Palette(float t)
{
    return 0.5 + 0.5 * cos(6.2831853 * (t + float3(0.0, 0.33, 0.67)));
}

// Drifting plasma: four waves of the clock summed, coloured through the palette, darker at the edges.
float4 Shade(uint2 pixel)
{
    float2 p = (float2(pixel) + 0.5 - 0.5 * float2(kWidth, kHeight)) / kHeight;
    float t = time * 0.5;
    float v = sin(p.x * 9.0 + t) + sin(p.y * 11.0 - t * 1.3) + sin((p.x + p.y) * 7.0 + t * 0.7) +
              sin(length(p + 0.3 * float2(sin(t * 0.9), cos(t * 0.6))) * 16.0 - t * 2.0);
    float3 colour = Palette(v * 0.2 + t * 0.1);
    colour *= 1.0 - 0.7 * dot(p, p);
    return float4(colour, 1.0);
}

[numthreads(GROUP_WIDTH, GROUP_HEIGHT, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    if (id.x >= kWidth)
        return;
    for (uint y = id.y; y < kHeight; y += kRowsPerDispatch)
        screenOutt[y * kWidth + id.x] = Shade(uint2(id.x, y));
}

// The pixel stage: the cell under the pixel, faded in from the clear colour over the first half second.
float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 pixel = min(uint2(position.xy), uint2(kWidth - 1, kHeight - 1));
    float4 clearColour = float4(0.0, 0.125, 0.3, 1.0);
    return lerp(clearColour, screenIn[pixel.y * kWidth + pixel.x], saturate(time * 2.0));
}
