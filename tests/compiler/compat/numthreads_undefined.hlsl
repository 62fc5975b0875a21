// error: 5: 'GROUP_WIDHT' is not an integer constant
#define GROUP_WIDTH 8
RWStructuredBuffer<uint> o : register(u0);

[numthreads(GROUP_WIDHT, 1, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }
