// error: 5: puts a member inside the registers of another
cbuffer Placed : register(b0)
{
    float b[2] : packoffset(c0);
    float d : packoffset(c0.z); // in b[0]'s register, which Windows allows
};
RWStructuredBuffer<float> o : register(u0);

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    o[0] = b[1] + d;
}
