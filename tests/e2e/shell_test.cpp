// The built program's failed start-ups: without main.fx, exit code 1, its error line last, with no
// load or frame; without a display, exit code 1, the message, and nothing on standard output. (Exit
// code 0: Escape in the README's console test, the close box on the small screen.)
#include "program.h"

namespace {

using ProgramExit = ProgramTest;

TEST_F(ProgramExit, AFailedStartUpExitsWithOneAndSaysWhy) {
    const struct {
        const char* what;
        bool shader, display;
        std::string stdoutEnd, stderrHas; // an empty end: nothing on standard output
    } cases[] = {
        {"no main.fx", false, true,
         "D3DCompileShaderFromFile : vs_main vs_5_0::80004005\n"
         "ERROR : d3d : 77 0x80004005 : CompileShaderFromFile VS\n",
         ""},
        {"no display", true, false, "", "ERROR : Can't Create Window\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(scratch.Path("main.fx"));
        if (c.shader)
            WriteFile(scratch.Path("main.fx"), ReadFile(SourceDir() + "/main.fx"));
        Run([&c] {
            if (!c.display)
                unsetenv("DISPLAY");
        });
        EXPECT_EQ(WaitExit(10), 1);
        const std::string out = Stdout();
        EXPECT_TRUE(out.ends_with(c.stdoutEnd) && out.empty() == c.stdoutEnd.empty()) << out;
        EXPECT_EQ(out.find("Loaded."), std::string::npos) << out;
        EXPECT_EQ(out.find("Dispatch"), std::string::npos) << out;
        EXPECT_NE(Stderr().find(c.stderrHas), std::string::npos) << Stderr();
    }
}

} // namespace
