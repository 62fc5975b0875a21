// expect: 1
// Two definitions of the entry point on the two sides of an `#if`: the preprocessor keeps one.
RWStructuredBuffer<uint> o : register(u0);
#if 1
[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = 1; }
#else
[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = 2; }
#endif
