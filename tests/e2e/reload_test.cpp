// The built program as a shader author uses it: the image comes from main.fx, an edit followed by
// F5 pressed while another window has the focus brings in the new shader, and Escape quits.
#include "program.h"

#include <X11/Xutil.h>

namespace {

// A shader whose whole image is one colour, made by the compute stage and shown by the pixel stage.
std::string SolidShader(const char* rgb) {
    return std::string(R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> cellsOut : register(u0);
RWStructuredBuffer<float4> cellsIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID)
{
    float4 colour = float4()") +
           rgb + R"(, 1.0);
    cellsOut[id.y * 1280 + id.x] = colour;
    if (id.y + 704 < 720)
        cellsOut[(id.y + 704) * 1280 + id.x] = colour;
}
float4 ps_main(float4 position : SV_Position) : SV_Target
{
    uint2 p = uint2(position.xy);
    return cellsIn[p.y * 1280 + p.x] + time * 0.0;
}
)";
}

// The colour of a pixel of the window, as the X server shows it: 0xRRGGBB.
unsigned long PixelOf(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// True when every probe point of the window shows `rgb` within `seconds`.
bool Shows(Display* display, Window window, unsigned long rgb, double seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        bool all = true;
        for (auto [x, y] : {std::pair{0, 0}, {1279, 0}, {640, 360}, {0, 719}, {1279, 719}})
            all = all && PixelOf(display, window, x, y) == rgb;
        if (all)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(ProgramReload, F5FromAnotherWindowBringsInTheEditedShader) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Scratch scratch;
    WriteFile(scratch.Path("main.fx"), SolidShader("1.0, 0.0, 0.0"));
    Program program(scratch);
    Window window = FindProgramWindow(display);
    ASSERT_NE(window, 0u) << program.Stdout() << program.Stderr();
    EXPECT_TRUE(Shows(display, window, 0xFF0000, 20)) << "the first shader's red";

    // The editor saves the file and keeps the focus.
    WriteFile(scratch.Path("main.fx"), SolidShader("0.0, 1.0, 0.0"));
    Window editor = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
    XMapWindow(display, editor);
    XSync(display, False);
    XSetInputFocus(display, editor, RevertToParent, CurrentTime);
    XSync(display, False);
    ASSERT_EQ(std::system("xdotool key F5"), 0);
    EXPECT_TRUE(Shows(display, window, 0x00FF00, 20)) << "the edited shader's green";

    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(program.WaitExit(10), 0) << program.Stderr();
    std::string out = program.Stdout();
    EXPECT_NE(out.find("Dispatch X=40,  y=22\r"), std::string::npos);
    EXPECT_GE(FrameRateLines(out), 1);
    EXPECT_EQ(Count(out, "Loaded.\n"), 2) << "start-up and one F5";
    XDestroyWindow(display, editor);
    XCloseDisplay(display);
}

} // namespace
