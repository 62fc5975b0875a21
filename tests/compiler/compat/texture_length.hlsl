// expect: 1 1 1
Texture2D<float4> image : register(t0);
Texture2DArray<float> layers : register(t1);
RWStructuredBuffer<uint> o : register(u0);

// A texture's Length is its size, as GetDimensions gives it.
[numthreads(1, 1, 1)]
void cs_main()
{
    uint w, h, l;
    image.GetDimensions(w, h);
    o[0] = all(image.Length == uint2(w, h));
    o[1] = image.Length.y == h;
    layers.GetDimensions(w, h, l);
    o[2] = all(layers.Length.xyz == uint3(w, h, l));
}
