// expect: 3.0 4.0 10.0 0.0 0.0 7.0
// Resources passed to functions, through two levels of calls: legalisation inlines them away.
cbuffer Pattern : register(b0)
{
    float4 first;  // 0 1 2 3
    float4 second; // 4 5 6 7
    float4 third;  // 8 9 10 11
};
RWStructuredBuffer<float> o : register(u0);
Texture2D<float4> unbound : register(t0);

void Put(RWStructuredBuffer<float> b, uint i, float v) { b[i] = v; }

void PutTwo(RWStructuredBuffer<float> b, uint i, float v, float w)
{
    Put(b, i, v);
    Put(b, i + 1, w);
}

float Fetch(Texture2D<float4> t, int x) { return t.Load(int3(x, 0, 0)).x; }

float FetchTwo(Texture2D<float4> t) { return Fetch(t, 0) + Fetch(t, 1); }

uint Width(Texture2D<float4> t)
{
    uint w, h;
    t.GetDimensions(w, h);
    return w;
}

[numthreads(1, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    PutTwo(o, id.x, first.w, second.x);
    Put(o, 2, third.z);
    PutTwo(o, 3, FetchTwo(unbound), float(Width(unbound)));
    Put(o, 5, second.w);
}
