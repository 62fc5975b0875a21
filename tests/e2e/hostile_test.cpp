// The program as a hostile user starts and feeds it: closed standard streams, indices far past the
// end of the screen buffer, a FIFO or a device where a file should be, a folder deeper than PATH_MAX,
// a shader the driver takes long to build, an F5 tap while the program is busy. Each ends in a
// message or the right image, never a hang: every wait here is short, so a regression fails.
#include "program.h"

#include <X11/Xutil.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A shader whose image is all green when nothing goes wrong; `compute` and `pixel` are the bodies
// of the two stages, with `cell` the pixel's cell.
std::string Shader(const std::string& compute, const std::string& pixel) {
    return R"(
cbuffer SceneConstants : register(b0) { float time; };
RWStructuredBuffer<float4> screenOut : register(u0);
RWStructuredBuffer<float4> screenIn : register(u1);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
[numthreads(32, 32, 1)]
void cs_main(uint3 id : SV_DispatchThreadID) {
    uint cell = id.y * 1280 + id.x;
)" + compute +
           R"(
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint cell = uint(position.y) * 1280 + uint(position.x);
)" + pixel +
           R"(
}
)";
}

const std::string kGreen =
    Shader("screenOut[cell] = float4(0, 1, 0, 1) + time * 0.0;", "return screenIn[cell];");

// `program` has said `text` `times` times on standard output (or error) within `seconds`.
bool Says(const Program& program, const std::string& text, int times, double seconds, bool error = false) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Count(error ? program.Stderr() : program.Stdout(), text) < times) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

unsigned long PixelOf(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// True when the probe points of the first 704 rows all show `rgb` within `seconds`.
bool Shows(Display* display, Window window, unsigned long rgb, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        bool all = true;
        for (auto [x, y] : {std::pair{0, 0}, {1279, 0}, {640, 360}, {0, 703}, {1279, 703}})
            all = all && PixelOf(display, window, x, y) == rgb;
        if (all)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void Key(Window window, const char* key) {
    const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key " + key;
    ASSERT_EQ(std::system(command.c_str()), 0);
}

class Hostile : public ::testing::Test {
  protected:
    void SetUp() override {
        // A window that goes away while it is read (the program ended) reads as no colour.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        if (display)
            XCloseDisplay(display);
    }
    Display* display = nullptr;
    Scratch scratch;
};

constexpr char kComputeCompiled[] = "D3DCompileShaderFromFile : cs_main";

// Started with a standard stream closed, the X connection would take its number and console text
// would go into the protocol stream.
TEST_F(Hostile, ClosedStandardStreamsStillLetEscapeQuit) {
    const std::string endless =
        Shader("float4 v = time; for (uint i = 0; i < 1; i += 0) { v += 1; screenOut[cell] = v; }",
               "return screenIn[cell];");
    const struct {
        int closed;
        std::string shader;
    } cases[] = {{STDOUT_FILENO, kGreen}, {STDERR_FILENO, endless}};
    for (const auto& c : cases) {
        SCOPED_TRACE("descriptor " + std::to_string(c.closed) + " closed");
        WriteFile(scratch.Path("main.fx"), c.shader);
        Program program(scratch, true, "", true, [&c] { close(c.closed); });
        const Window window = FindProgramWindow(display);
        ASSERT_NE(window, 0u);
        // Long enough for frames, frame-rate lines and, for the endless shader, the watchdog's line.
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        Key(window, "Escape");
        EXPECT_EQ(program.WaitExit(5), 0);
    }
}

// Past the end of the 14,745,600-byte buffer, at an index whose byte offset wraps past 2^32 back onto
// the thread's own cell: the writes must be dropped and the reads give zero, in both stages.
TEST_F(Hostile, IndicesFarPastTheEndReadZeroAndWriteNothing) {
    WriteFile(scratch.Path("main.fx"),
              Shader(R"(
    float4 past = screenOut[cell + (1u << 28)];
    screenOut[cell] = float4(0, 1, past.g, 1);
    screenOut[cell + (1u << 28)] = float4(1, 0, 0, 1);
    screenOut[uint(-1)] = float4(1, 0, 0, 1);)",
                     "return float4(screenIn[cell].rg, screenIn[cell + (1u << 28)].g, 1);"));
    Program program(scratch);
    const Window window = FindProgramWindow(display);
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(Shows(display, window, 0x00FF00, 15)) << program.Stdout() << program.Stderr();
    Key(window, "Escape");
    EXPECT_EQ(program.WaitExit(5), 0);
    EXPECT_EQ(program.Stderr().find("validation"), std::string::npos) << program.Stderr();
}

// What F5 reads in place of the shader or of its include: each is refused at once with a message.
TEST_F(Hostile, OddFilesAreRefusedWithAMessageWithoutBlocking) {
    const struct {
        const char* what;
        const char* include; // the file main.fx includes, made a FIFO when not under /dev
        std::string says;
    } cases[] = {
        {"main.fx a FIFO", nullptr, "entry point 'cs_main' not found"},
        {"an include of a FIFO", "pipe", "cannot open include file 'pipe': not a regular file"},
        {"an include of /dev/zero", "/dev/zero", "cannot open include file '/dev/zero': not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(scratch.Path("main.fx"), kGreen);
        Program program(scratch);
        const Window window = FindProgramWindow(display);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(Says(program, kComputeCompiled, 1, 10));
        std::filesystem::remove(scratch.Path("main.fx"));
        std::filesystem::remove(scratch.Path("pipe"));
        if (!c.include) {
            ASSERT_EQ(mkfifo(scratch.Path("main.fx").c_str(), 0600), 0);
        } else {
            WriteFile(scratch.Path("main.fx"), "#include \"" + std::string(c.include) + "\"\n" + kGreen);
            if (c.include[0] != '/') {
                ASSERT_EQ(mkfifo(scratch.Path(c.include).c_str(), 0600), 0);
            }
        }
        Key(window, "F5");
        EXPECT_TRUE(Says(program, kComputeCompiled, 2, 5)) << "the F5 compile ended";
        EXPECT_TRUE(Says(program, c.says, 1, 1)) << program.Stdout();
        Key(window, "Escape");
        EXPECT_EQ(program.WaitExit(5), 0);
        std::filesystem::remove(scratch.Path("main.fx"));
    }
}

// The compile server must reach includes through a working folder it cannot name in one chdir.
TEST_F(Hostile, AWorkingFolderDeeperThanPathMaxWorks) {
    const std::vector<std::string> path(20, std::string(250, 'd'));
    int folder = open(scratch.dir.c_str(), O_RDONLY | O_DIRECTORY);
    for (const std::string& name : path) {
        ASSERT_EQ(mkdirat(folder, name.c_str(), 0700), 0);
        const int inner = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = inner;
        ASSERT_GE(folder, 0);
    }
    const int file = openat(folder, "main.fx", O_WRONLY | O_CREAT, 0600);
    close(folder);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, kGreen.data(), kGreen.size()), static_cast<ssize_t>(kGreen.size()));
    close(file);
    {
        Program program(scratch, true, "", true, [&path] {
            // A name at a time: the whole path is too long for one chdir.
            for (const std::string& name : path)
                if (chdir(name.c_str()) != 0)
                    _exit(127);
        });
        const Window window = FindProgramWindow(display);
        ASSERT_NE(window, 0u) << program.Stdout() << program.Stderr();
        EXPECT_TRUE(Shows(display, window, 0x00FF00, 15)) << program.Stdout() << program.Stderr();
        Key(window, "Escape");
        EXPECT_EQ(program.WaitExit(5), 0);
    }
    ASSERT_EQ(std::system(("rm -rf " + scratch.Path(path[0])).c_str()), 0);
}

// A cs_main of nested switches that the driver (lavapipe) takes seconds to build, and glslang well
// under one to compile: 70 x 70 cases.
std::string SlowToBuild() {
    std::string body =
        "float4 v = float4(0, 1, 0, 1); uint a = id.x + uint(time), b = id.y;\nswitch (a % 70) {\n";
    for (int outer = 0; outer < 70; ++outer) {
        body += "case " + std::to_string(outer) + ": switch (b % 70) {";
        for (int inner = 0; inner < 70; ++inner) {
            body += " case " + std::to_string(inner) + ": v = float4(";
            body += std::to_string((outer + inner) % 7) + " * 0.1, 0, 1, 1) * time; break;";
        }
        body += " default: v = 2; break; } break;\n";
    }
    body += "default: v = 1; break; }\nscreenOut[cell] = v;";
    return Shader(body, "return screenIn[cell];");
}

constexpr char kBuilding[] =
    "fxview platform: the driver has been building the compute pipeline of 'cs_main' for 2 s";
constexpr char kBuilt[] = "fxview platform: the driver built the compute pipeline of 'cs_main' in ";

// The window cannot answer while the driver builds: the build is told on standard error, and a quit
// asked for meanwhile is honoured when the build returns.
TEST_F(Hostile, ASlowPipelineBuildIsToldAndAQuitMeanwhileIsHonouredAfterIt) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "the close box" : "Escape");
        WriteFile(scratch.Path("main.fx"), SlowToBuild());
        Program program(scratch);
        const Window window = FindProgramWindow(display);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(Says(program, kBuilding, 1, 20, true)) << program.Stderr();
        if (closeBox)
            RequestClose(display, window);
        else
            Key(window, "Escape");
        EXPECT_TRUE(Says(program, kBuilt, 1, 60, true)) << program.Stderr();
        EXPECT_EQ(program.WaitExit(5), 0);
    }
}

} // namespace
