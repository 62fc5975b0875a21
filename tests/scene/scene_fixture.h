// The program's scene on the stand-in: a scratch folder holding main.fx as the current directory,
// the test's window, a tick that stands still, and D3DInit before each test, SceneRelease and
// D3DRelease after it.
#pragma once

#include "console.h"
#include "d3d11_test.h"
#include "files.h"

#include "d3d.h"
#include "scene.h"

#include <filesystem>
#include <fstream>

void FrameUpdate();

class SceneTest : public d3dtest::D3D11Test {
  protected:
    void SetUp() override {
        D3D11Test::SetUp();
        fxtest::SetTick(0); // no frame-rate lines amid the console text
        home_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.dir);
        WriteShader(InitialShader());
        HRESULT hr = E_FAIL;
        CapturedStdout([&] { hr = D3DInit(window_.hwnd(), 1280, 720, "main.fx"); });
        ASSERT_EQ(hr, S_OK);
    }
    void TearDown() override {
        fxtest::ClearKeyStates();
        fxtest::UseRealTick();
        CapturedStdout([] {
            SceneRelease();
            D3DRelease();
        });
        std::filesystem::current_path(home_);
        D3D11Test::TearDown();
    }
    virtual std::string InitialShader() = 0;
    void WriteShader(const std::string& text) { std::ofstream("main.fx") << text; }
    std::string Load() {
        return CapturedStdout([] { SceneLoad(); });
    }
    std::string Frames(int n) {
        return CapturedStdout([&] {
            for (int i = 0; i < n; ++i)
                FrameUpdate();
        });
    }

    // What the last presented frame put in the window.
    std::vector<uint32_t> Presented() { return d3dtest::ReadWindow(window_.hwnd(), 0, 0, 1280, 720); }

    d3dtest::TestWindow window_;
    std::filesystem::path home_;
    Scratch dir_;
};

// RGBA8 texel as read back: red in the low byte.
inline uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

inline const char* kDispatch = "Dispatch X=40,  y=22\r";

// `shader` with the entry point `entry` renamed away.
inline std::string Without(std::string shader, const std::string& entry) {
    return shader.replace(shader.find(entry), entry.size(), "renamed");
}
