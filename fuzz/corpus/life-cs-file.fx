221// life: Conway's Game of Life on the 1280 x 720 screen buffer. The buffer is kept from frame to frame
// (only a reload makes a new one, all zeros), so each frame steps the previous generation.
//
// Each cell holds two generations, x and y, and the compute stage reads one while writing the other;
// w counts the frames, the same in every cell, and says which is which. z is the age of a live cell.

cbuffer SceneConstants : register(b0)
{
    float time;
};

static const uint kWidth = 1280;
static const uint kHeight = 720;
RWStructuredBuffer<float4> cells : register(u0);
RWStructuredBuffer<float4> cellsToShow : register(u1);

float4 vs_main(float3 position : POSITION) : SV_Position
{
    return float4(position, 1.0);
}

// A new buffer is all zeros: its first frame seeds a random soup from a hash of the position.
float Seed(uint2 p)
{
    uint h = p.x * 374761393u + p.y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (h ^ (h >> 16)) % 100u < 30u ? 1.0 : 0.0;
}

float Generation(uint2 p, uint parity)
{
    // The screen wraps around at its edges.
    uint2 q = (p + uint2(kWidth, kHeight)) % uint2(kWidth, kHeight);
    float4 cell = cells[q.y * kWidth + q.x];
    return parity == 0 ? cell.x : cell.y;
}

void Step(uint2 p)
{
    uint index = p.y * kWidth + p.x;
    float4 cell = cells[index];
    uint frame = (uint)cell.w;
    if (frame == 0)
    {
        cells[index] = float4(Seed(p), Seed(p), 0.0, 1.0);
        return;
    }
    uint parity = frame & 1u;
    float alive = Generation(p, parity);
    float around = 0.0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0)
                around += Generation(uint2(int2(p) + int2(dx, dy)), parity);
    float next = (around == 3.0 || (alive == 1.0 && around == 2.0)) ? 1.0 : 0.0;
    float age = next == 1.0 ? cell.z + 1.0 : 0.0;
    if (parity == 0)
        cells[index] = float4(alive, next, age, frame + 1);
    else
        cells[index] = float4(next, alive, age, frame + 1);
}

// 40 x 22 groups of 32 x 32 threads: 1280 x 704, so each thread also takes the row 704 below.
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Step(id.xy);
    if (id.y + 704 < kHeight)
        Step(uint2(id.x, id.y + 704));
}

float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 p = min(uint2(position.xy), uint2(kWidth - 1, kHeight - 1));
    float4 cell = cellsToShow[p.y * kWidth + p.x];
    float age = cell.z;
    if (age == 0.0)
        discard; // dead cells show the clear colour
    float young = saturate(1.0 - age / 60.0);
    return float4(1.0, 0.55 + 0.45 * young, 0.2 + 0.8 * young, 1.0);
}
