// expect: 6 2
// The last line is an #include with no newline, and a Ctrl-Z ends the text as Windows reads it.
RWStructuredBuffer<uint> o : register(u0);
#include "inc/text_end.hlsli"
this is not HLSL
