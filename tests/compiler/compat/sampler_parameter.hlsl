// expect: 4.0 1.0 2.0
// Functions that take a sampler are no effect-file state blocks; a `}` or `register(` in a comment
// or a string beside a rewrite is read as the comment or string it is.
RWStructuredBuffer<float> o : register(u0);
Texture2D<float4> tex : register(t0); // register(t1) }
SamplerState linearSampler : register(s0) { Filter = MIN_MAG_MIP_LINEAR; /* } */ };
SamplerComparisonState shadowSampler { ComparisonFunc = LESS; };
float first;
static const uint kTaps = 2;
const float second = 7; /* a constant-buffer member, word 1, not the constant 7 */

// Compiled, not called: one texture sampled both plainly and by comparison does not compile here yet.
float Fetch(SamplerState s, float2 uv) { return tex.SampleLevel(s, uv, 0).x; }
float Shadow(SamplerComparisonState s, float2 uv, float depth)
{
    return tex.SampleCmpLevelZero(s, uv, depth); // }
}

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = 4 + min(Shadow(shadowSampler, 0, 0.5), 0);
    o[1] = second;
    for (uint i = 0; i < kTaps; ++i) { /* } */ }
    o[2] = i;
}
