220// Colour helpers for palette/main.fx, brought in with #include: the file is looked for beside the
// file that includes it, then in the current directory.

// Cosine palettes: a + b * cos(2 pi (c t + d)), smooth and periodic in t.
float3 CosinePalette(float t, float3 a, float3 b, float3 c, float3 d)
{
    return a + b * cos(6.2831853 * (c * t + d));
}

float3 Sunset(float t)
{
    return CosinePalette(t, float3(0.5, 0.5, 0.5), float3(0.5, 0.5, 0.5), float3(1.0, 1.0, 0.5),
                         float3(0.8, 0.9, 0.3));
}
