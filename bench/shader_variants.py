"""Marker variants of a shader file for timing F5 reloads: the same file with its pixel stage replaced
by one that paints a flat colour, so that the first frame of the new shader can be recognised by its
centre pixel. The compute stage and everything else in the file stay as they are."""

MARKERS = [(0xFF00FF, "1.0, 0.0, 1.0"), (0x00FF00, "0.0, 1.0, 0.0")]


def marker(source, index):
    """(colour as 0xRRGGBB, shader text) of marker number `index`; consecutive markers differ."""
    colour, rgb = MARKERS[index % len(MARKERS)]
    text = ("#define ps_main ps_main_before_reload\n" + source + "\n#undef ps_main\n"
            "float4 ps_main(float4 position : SV_Position) : SV_Target\n"
            "{\n    return float4(" + rgb + ", 1.0);\n}\n")
    return colour, text
