// expect: 2 -2 2 -2 2.0 -2.0 2.0 -2.0 -0.5 2 -2 2 -2 2.0 -2.0 2.0 -2.0 -0.5 2
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    int x = 42, y = 5;
    float fx = 42, fy = 5;
    int rx = 42 + id.x, ry = 5 + id.x;
    float rfx = rx, rfy = ry;
    o[0] = asfloat(x % y); o[1] = asfloat(-x % y); o[2] = asfloat(x % -y); o[3] = asfloat(-x % -y);
    o[4] = fx % fy; o[5] = -fx % fy; o[6] = fx % -fy; o[7] = -fx % -fy;
    o[8] = fmod(-0.5, 6.5);
    o[9] = asfloat(rx % ry); o[10] = asfloat(-rx % ry); o[11] = asfloat(rx % -ry); o[12] = asfloat(-rx % -ry);
    o[13] = rfx % rfy; o[14] = -rfx % rfy; o[15] = rfx % -rfy; o[16] = -rfx % -rfy;
    o[17] = fmod(-0.5 - id.x, 6.5);
    o[18] = asfloat(42u % 5u);
}
