// The built program's exit codes and its console on the way out: 0 on the close box (Escape: the
// README's console test); 1 without main.fx, its error line last, with no load or frame; 1 without a
// display, with the message and nothing on standard output.
#include "program.h"

namespace {

using ProgramExit = ProgramTest;

TEST_F(ProgramExit, EachWayOfEndingHasItsExitCodeAndConsole) {
    const struct {
        const char* what;
        bool shader, display;
        int code;
        std::string stdoutEnd, stderrHas; // an empty end: nothing on standard output
    } cases[] = {
        {"the close box", true, true, 0, "", ""},
        {"no main.fx", false, true, 1,
         "D3DCompileShaderFromFile : vs_main vs_5_0::80004005\n"
         "ERROR : d3d : 77 0x80004005 : CompileShaderFromFile VS\n",
         ""},
        {"no display", true, false, 1, "", "ERROR : Can't Create Window\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(scratch.Path("main.fx"));
        if (c.shader)
            WriteFile(scratch.Path("main.fx"), ReadFile(SourceDir() + "/main.fx"));
        program.emplace(scratch, [&c] {
            if (!c.display)
                unsetenv("DISPLAY");
        });
        if (c.code == 0) {
            const Window window = FindProgramWindow();
            ASSERT_NE(window, 0u) << program->Stdout() << program->Stderr();
            XWindowAttributes attributes;
            XGetWindowAttributes(display, window, &attributes);
            EXPECT_EQ(attributes.width, 1280);
            EXPECT_EQ(attributes.height, 720);
            Quit(window, true);
            continue;
        }
        EXPECT_EQ(program->WaitExit(10), 1);
        const std::string out = program->Stdout();
        EXPECT_TRUE(out.ends_with(c.stdoutEnd) && out.empty() == c.stdoutEnd.empty()) << out;
        EXPECT_EQ(out.find("Loaded."), std::string::npos) << out;
        EXPECT_EQ(out.find("Dispatch"), std::string::npos) << out;
        EXPECT_NE(program->Stderr().find(c.stderrHas), std::string::npos) << program->Stderr();
    }
}

} // namespace
