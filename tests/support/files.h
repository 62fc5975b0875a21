// Files as the tests make and read them: the source tree, whole files, and scratch folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

inline std::string SourceDir() {
    const char* dir = std::getenv("FXVIEW_SOURCE_DIR");
    return dir ? dir : ".";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes `bytes` to `path`, making its folders first; returns the path.
inline std::string WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << "writing " << path;
    return path;
}

// A fresh folder under /tmp, removed with its contents at scope end.
struct Scratch {
    std::filesystem::path dir;
    Scratch() {
        char name[] = "/tmp/fxview-test-XXXXXX";
        if (mkdtemp(name))
            dir = name;
        else
            ADD_FAILURE() << "mkdtemp failed";
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        return WriteFile(Path(name), bytes);
    }
};
