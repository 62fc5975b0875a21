// expect: 1. 2. 3. 1.
// Effect-file syntax on plain variables: a state block, which only the effect framework reads (`f` is
// a global constant after `a`, at word 1 of the globals' buffer, bound at b0), and annotations.
RWStructuredBuffer<float> o : register(u0);
float a;
float f { 1 };
static float g < string UIName = "g"; > = 2;
static const float h : Direction < string UIName = "L"; int Ref_ID = 0; > = 3;
Texture2D t < string name = "x"; >;

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = f;
    o[1] = g;
    o[2] = h;
    o[3] = 1 + t.Load(int3(0, 0, 0)).x;
}
