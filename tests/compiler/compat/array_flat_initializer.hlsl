// expect: 50.0 60.0 70.0 80.0 3.0 4.0
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 arr[] = {10, 20, 30, 40, 50, 60, 70, 80};
    float2 pairs[] = {1, 2, 3, 4};
    o[0] = arr[1 + id.x].x; o[1] = arr[1].y; o[2] = arr[1].z; o[3] = arr[1].w;
    o[4] = pairs[1].x; o[5] = pairs[1].y;
}
