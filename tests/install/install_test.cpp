// The installed tree: fxview and fxview-compile in bin, the default main.fx, the samples and the
// shader contract in share/fxview; the installed fxview-compile compiles the installed main.fx, and
// the installed fxview, run in a folder holding a copy of it, draws it.
#include "program.h"

#include <set>

namespace fs = std::filesystem;

using Install = ProgramTest;

TEST_F(Install, TheInstalledProgramDrawsTheInstalledDefaultShader) {
    Scratch prefix;
    const std::string log = prefix.Path("install.log");
    const std::string install = std::string(FXVIEW_CMAKE) + " --install " + FXVIEW_BUILD_DIR + " --prefix " +
                                prefix.dir.string() + " > " + log + " 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << ReadFile(log);

    const fs::path share = prefix.dir / "share/fxview";
    EXPECT_EQ(ReadFile((share / "main.fx").string()), ReadFile(SourceDir() + "/main.fx"));
    EXPECT_EQ(ReadFile((share / "shader-contract.md").string()),
              ReadFile(SourceDir() + "/docs/shader-contract.md"));
    for (const auto& entry : fs::recursive_directory_iterator(SourceDir() + "/samples")) {
        if (!entry.is_regular_file())
            continue;
        const fs::path installed = share / "samples" / fs::relative(entry.path(), SourceDir() + "/samples");
        EXPECT_EQ(ReadFile(installed.string()), ReadFile(entry.path().string())) << installed;
    }

    const std::string compile = (prefix.dir / "bin/fxview-compile").string() + " /T cs_5_0 /E cs_main " +
                                (share / "main.fx").string() + " > " + log + " 2>&1";
    EXPECT_EQ(std::system(compile.c_str()), 0) << ReadFile(log);

    setenv("FXVIEW_BINARY", (prefix.dir / "bin/fxview").c_str(), 1);
    const Window window = Start(ReadFile((share / "main.fx").string()));
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(Says(" fps            \n", 2, 60)) << Stdout() << Stderr();

    // The plasma, faded in by now, shows many colours along a row; the clear colour alone is one.
    XImage* row = XGetImage(display, window, 0, 360, 1280, 1, AllPlanes, ZPixmap);
    ASSERT_NE(row, nullptr);
    std::set<unsigned long> colours;
    for (int x = 0; x < 1280; ++x)
        colours.insert(XGetPixel(row, x, 0));
    XDestroyImage(row);
    EXPECT_GT(colours.size(), 50u);
    Quit(window);
}
