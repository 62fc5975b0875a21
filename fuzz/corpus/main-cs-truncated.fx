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
float4 vs_main(