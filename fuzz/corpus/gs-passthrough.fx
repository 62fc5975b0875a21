331struct V { float4 p : SV_Position; };
[maxvertexcount(3)]
void gs_main(triangle V input[3], inout TriangleStream<V> output)
{
    for (int i = 0; i < 3; ++i)
        output.Append(input[i]);
}
