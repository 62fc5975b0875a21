// The installed tree: fxview in bin, the default main.fx, the samples and the shader contract in
// share/fxview; the installed fxview, run in a folder holding a copy of the installed main.fx, draws it.
#include "program.h"

#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

TEST(Install, TheInstalledProgramDrawsTheInstalledDefaultShader) {
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

    Scratch folder;
    fs::copy_file(share / "main.fx", folder.Path("main.fx"));
    setenv("FXVIEW_BINARY", (prefix.dir / "bin/fxview").c_str(), 1);
    Program program(folder);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window window = FindProgramWindow(display);
    ASSERT_NE(window, 0u) << program.Stdout() << program.Stderr();
    for (int waited = 0; waited < 600 && FrameRateLines(program.Stdout()) < 2; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(FrameRateLines(program.Stdout()), 2) << program.Stdout() << program.Stderr();

    // The plasma, faded in by now, shows many colours along a row; the clear colour alone is one.
    XImage* row = XGetImage(display, window, 0, 360, 1280, 1, AllPlanes, ZPixmap);
    ASSERT_NE(row, nullptr);
    std::set<unsigned long> colours;
    for (int x = 0; x < 1280; ++x)
        colours.insert(XGetPixel(row, x, 0));
    XDestroyImage(row);
    EXPECT_GT(colours.size(), 50u);

    const std::string escape = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(std::system(escape.c_str()), 0);
    EXPECT_EQ(program.WaitExit(10), 0) << program.Stderr();
    XCloseDisplay(display);
}
