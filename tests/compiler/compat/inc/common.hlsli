// Saved by a Windows editor, with a byte-order mark, found as INC\Common.hlsli.
static const uint kSeven = 7;
uint Nine() { return 9; } // it's fine
