// expect: 7.0 6.0 3.0 2.0 4.0 2.0 12.0 6.0 2.0 2.0
RWStructuredBuffer<float> o : register(u0);
cbuffer Pattern : register(b0) { float c0, c1, c2, c3; }

// Multi-dimensional arrays fill from the flat list of their scalars, braces or not.
[numthreads(1, 1, 1)]
void cs_main()
{
    float2 a[][3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    int b[2][2] = {1, 2, 3, 4};
    float3 c[2][1] = {float2(c1, c2), c3, {4, 5, 6}};
    float d[2][2] = {{1, 2}, {3, c1 + 1}};
    uint e[2][2][2] = {1, 2, 3, 4, 5, {6, 7}, 8};
    float2 f[][2] = {1, 2, 3, c1 * 2, sin(0), cos(0), 0, 0};
    o[0] = a[1][0].x; o[1] = a[0][2].y; o[2] = b[1][0]; o[3] = c[0][0].y;
    o[4] = c[1][0].x; o[5] = d[1][1]; o[6] = a[1][2].y; o[7] = e[1][0][1];
    o[8] = f[0][1].y; o[9] = f[1][0].y + f[1][1].x + f[2 - f[0][1].y][0].x;
}
