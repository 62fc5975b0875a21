// stride: 24
// expect: 1.0 2.0 3.0 4.0 5.0 6.0 11.0 12.0
struct Cell { float2 a; float3 b; float c; };
RWStructuredBuffer<Cell> o : register(u0);

[numthreads(2, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Cell c;
    c.a = float2(1, 2) + id.x * 10;
    c.b = float3(3, 4, 5) + id.x * 10;
    c.c = 6 + id.x * 10;
    o[id.x] = c;
}
