// The program as a hostile user starts and feeds it: a shader that never ends, a stopped process, closed
// standard streams, a console nobody reads, indices far past the end of the screen buffer, a FIFO or a device
// where a file should be, a folder deeper than PATH_MAX, a shader the driver takes long to build. Each ends
// in a message or the right image, never a hang: every wait here is short, so a regression fails.
#include "program.h"

#include <fcntl.h>
#include <sys/ioctl.h>

namespace {

const std::string kGreen = Solid("0, 1, 0");
const std::string kEndlessCompute =
    Shader("float4 v = time; for (uint i = 0; i < 1; i += 0) { v += 1; screenOut[cell] = v; }",
           "return screenIn[cell];");
const std::string kEndlessPixel = Shader("screenOut[cell] = time;", R"(float4 v = screenIn[cell];
    for (uint i = 0; i < 1; i += 0) { v = v * 0.5 + 0.25; screenIn[cell] = v; }
    return v;)");

const char* kRemoved =
    "fxview platform: the GPU has not finished a frame in 2 s: the shader probably never ends; the "
    "device is removed. Fix the shader and restart fxview.\n";

using Hostile = ProgramTest;

// A removed device leaves the window responsive, as in Direct3D 11, and Escape exits within 5 s.
// With a standard stream closed, the X connection would take its number and console text would go
// into the protocol stream.
TEST_F(Hostile, ARunawayShaderOrAClosedStreamStillLetsEscapeQuit) {
    const struct {
        const char* what;
        const std::string& shader;
        int closed; // a standard stream closed at start, or -1
    } cases[] = {
        {"the compute stage never ends", kEndlessCompute, -1},
        {"the pixel stage never ends", kEndlessPixel, -1},
        {"standard output closed", kGreen, STDOUT_FILENO},
        {"standard error closed, the compute stage never ends", kEndlessCompute, STDERR_FILENO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Window window = Start(c.shader, [&c] {
            if (c.closed >= 0)
                close(c.closed);
        });
        ASSERT_NE(window, 0u);
        if (c.closed < 0) {
            EXPECT_TRUE(Says(kRemoved, 1, 15, true)) << Stderr();
            Pause(500);
            EXPECT_EQ(Count(Stderr(), kRemoved), 1) << "once, however many frames follow";
        } else {
            Pause(3500); // frames, frame-rate lines and, for the endless shader, the watchdog's line
        }
        Quit(window, false, 5);
        EXPECT_TRUE(Validated()) << Stderr();
    }
}

// A process stopped for longer than the frame watchdog's bound (Ctrl+Z and fg, a debugger, a
// suspend) keeps its device: on lavapipe the GPU was stopped with it. The default shader's frames are
// long enough that a stop nearly always falls in the wait for one.
TEST_F(Hostile, AProcessStoppedForSecondsKeepsItsDevice) {
    const Window window = Start();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(Says(" fps", 1, 15)) << Stdout() << Stderr();
    for (int stop = 0; stop < 3; ++stop) {
        Signal(SIGSTOP);
        Pause(2500);
        Signal(SIGCONT);
        Pause(500);
    }
    WriteFile(scratch.Path("main.fx"), Solid("1, 0, 0"));
    Key(window, "F5");
    EXPECT_TRUE(Shows(display, window, 0xFF0000, 15)) << Stderr();
    EXPECT_EQ(Count(Stderr(), "the device is removed"), 0) << Stderr();
    Quit(window);
    EXPECT_TRUE(Validated()) << Stderr();
}

// Standard output a pipe that nobody reads (`fxview | less` at a full screen), filled by reloads: Escape
// and the close box still end the program, and all it wrote is there to read afterwards.
TEST_F(Hostile, AConsoleNobodyReadsStillLetsTheProgramQuitAndLosesNothing) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "the close box" : "Escape");
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(fcntl(fds[0], F_SETPIPE_SZ, 4096), 4096) << "full after a few reloads";
        const Window window = Start(kGreen, [&fds] {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
        });
        close(fds[1]);
        ASSERT_NE(window, 0u);
        for (int reload = 0; reload < 20; ++reload) {
            Key(window, "F5");
            Pause(200);
        }
        Quit(window, closeBox, 5);
        std::string text;
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        EXPECT_TRUE(Within(10, [&] {
            char chunk[65536];
            ssize_t n;
            while ((n = read(fds[0], chunk, sizeof chunk)) > 0)
                text.append(chunk, static_cast<size_t>(n));
            return n == 0;
        })) << "the relay ends once its text is read";
        close(fds[0]);
        EXPECT_EQ(text.rfind("D3DCompileShaderFromFile : vs_main vs_5_0::00000000\n", 0), 0u)
            << text.substr(0, 200);
        const int reloads = Count(text, "D3DCompileShaderFromFile : cs_main");
        EXPECT_GT(reloads, 10) << "more than the pipe holds";
        EXPECT_EQ(Count(text, "D3DCompileShaderFromFile : ps_main"), reloads);
        EXPECT_EQ(Count(text, "dropped"), 0);
    }
}

// Past the end of the 14,745,600-byte buffer, at an index whose byte offset wraps past 2^32 back onto
// the thread's own cell: the writes must be dropped and the reads give zero, in both stages.
TEST_F(Hostile, IndicesFarPastTheEndReadZeroAndWriteNothing) {
    const Window window =
        Start(Shader(R"(
    float4 past = screenOut[cell + (1u << 28)];
    screenOut[cell] = float4(0, 1, past.g, 1);
    screenOut[cell + (1u << 28)] = float4(1, 0, 0, 1);
    screenOut[uint(-1)] = float4(1, 0, 0, 1);)",
                     "return float4(screenIn[cell].rg, screenIn[cell + (1u << 28)].g, 1);"));
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(Shows(display, window, 0x00FF00, 15)) << Stdout() << Stderr();
    Quit(window);
    EXPECT_TRUE(Validated()) << Stderr();
}

// What F5 reads in place of the shader or of its include: each is refused at once with a message.
TEST_F(Hostile, OddFilesAreRefusedWithAMessageWithoutBlocking) {
    const struct {
        const char *what, *make; // a shell command, in the scratch folder
        std::string says;
    } cases[] = {
        {"main.fx a FIFO", "rm main.fx && mkfifo main.fx", "entry point 'cs_main' not found"},
        {"an include of a FIFO", "mkfifo pipe && sed -i '1i #include \"pipe\"' main.fx",
         "cannot open include file 'pipe': not a regular file"},
        {"an include of /dev/zero", "sed -i '1i #include \"/dev/zero\"' main.fx",
         "cannot open include file '/dev/zero': not a regular file"},
    };
    const std::string compiled = "D3DCompileShaderFromFile : cs_main";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(scratch.Path("main.fx"));
        std::filesystem::remove(scratch.Path("pipe"));
        const Window window = Start(kGreen);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(Says(compiled, 1, 10));
        ASSERT_EQ(std::system(("cd " + scratch.dir.string() + " && " + c.make).c_str()), 0);
        Key(window, "F5");
        EXPECT_TRUE(Says(compiled, 2, 5)) << "the F5 compile ended";
        EXPECT_TRUE(Says(c.says, 1, 1)) << Stdout();
        Quit(window, false, 5);
    }
}

// The compile server must reach includes through a working folder it cannot name in one chdir.
TEST_F(Hostile, AWorkingFolderDeeperThanPathMaxWorks) {
    const std::vector<std::string> path(20, std::string(250, 'd'));
    WriteFile(scratch.Path("main.fx"), kGreen);
    // A name at a time, here and in the program's process: the whole path is too long for one chdir.
    const std::string make = "bash -c 'cd " + scratch.dir.string() + " && for i in $(seq 20); do mkdir " +
                             path[0] + " && cd " + path[0] + " || exit 1; done && cp " +
                             scratch.Path("main.fx") + " .'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const Window window = Start(kGreen, [&path] {
        for (const std::string& name : path)
            if (chdir(name.c_str()) != 0)
                _exit(127);
    });
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(Shows(display, window, 0x00FF00, 15)) << Stdout() << Stderr();
    Quit(window, false, 5);
    ASSERT_EQ(std::system(("rm -rf " + scratch.Path(path[0])).c_str()), 0);
}

// A cs_main of nested switches that the driver (lavapipe) takes seconds to build, and glslang well
// under one to compile: 70 x 70 cases.
std::string SlowToBuild() {
    std::string body =
        "float4 v = float4(0, 1, 0, 1); uint a = id.x + uint(time), b = id.y;\nswitch (a % 70) {\n";
    for (int outer = 0; outer < 70; ++outer) {
        body += "case " + std::to_string(outer) + ": switch (b % 70) {";
        for (int inner = 0; inner < 70; ++inner)
            body += " case " + std::to_string(inner) + ": v = float4(" + std::to_string((outer + inner) % 7) +
                    " * 0.1, 0, 1, 1) * time; break;";
        body += " default: v = 2; break; } break;\n";
    }
    return Shader(body + "default: v = 1; break; }\nscreenOut[cell] = v;", "return screenIn[cell];");
}

// The window cannot answer while the driver builds: the build is told on standard error, and a quit
// asked for meanwhile is honoured when the build returns.
TEST_F(Hostile, ASlowPipelineBuildIsToldAndAQuitMeanwhileIsHonouredAfterIt) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "the close box" : "Escape");
        const Window window = Start(SlowToBuild());
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(
            Says("fxview platform: the driver has been building the compute pipeline of 'cs_main' for 2 s", 1,
                 20, true))
            << Stderr();
        if (closeBox)
            RequestClose(display, window);
        else
            Key(window, "Escape");
        EXPECT_TRUE(
            Says("fxview platform: the driver built the compute pipeline of 'cs_main' in ", 1, 60, true))
            << Stderr();
        EXPECT_EQ(WaitExit(5), 0);
    }
}

} // namespace
