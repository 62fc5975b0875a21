// expect: 3. 7.
// `##` beside punctuation, as Windows' preprocessor pastes it: the spellings joined and read again.
#define REG(r) : register(##r##)
#define MEMBER(a) a##.y
#define NAME(a, b) a##b
RWStructuredBuffer<float> o REG(u0);
static const float ab = 7;

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 v = float4(2, 3, 4, 5);
    o[0] = MEMBER(v);
    o[1] = NAME(a, b);
}
