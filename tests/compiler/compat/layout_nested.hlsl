// stride: 36
// expect: 1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 9.0 11.0
struct Inner { float2 p; float q; };
struct Cell { float a; Inner n; float3 b; float arr[2]; };
RWStructuredBuffer<Cell> o : register(u0);

[numthreads(2, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    Cell c;
    c.a = 1 + id.x * 10;
    c.n.p = float2(2, 3);
    c.n.q = 4;
    c.b = float3(5, 6, 7);
    c.arr[0] = 8;
    c.arr[1] = 9;
    o[id.x] = c;
}
