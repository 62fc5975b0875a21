// stride: 16
// expect: 1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0
struct Cell { float a; float3 b; };
RWStructuredBuffer<Cell> o : register(u0);

[numthreads(2, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Cell c;
    c.a = id.x * 4 + 1;
    c.b = float3(2, 3, 4) + id.x * 4;
    o[id.x] = c;
}
