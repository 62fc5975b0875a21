[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = 6;
    o[1] = 2;
}
