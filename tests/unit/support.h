// support.h -- what the unit tests share: scratch directories, files, golden transcripts and the
// headless game with a player's view of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "screen/screen_state.h"

// A fresh directory under the temp directory, removed with everything in it.
struct Scratch {
    std::string path;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "viertal-test-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Compares a transcript with tests/golden/NAME. UPDATE_GOLDEN=1 rewrites the file instead: review
// its diff before committing it, since it then pins whatever the code does.
inline void expect_golden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(GOLDEN_DIR) + "/" + name;
    if (std::getenv("UPDATE_GOLDEN") != nullptr) return write_file(path, actual);
    EXPECT_EQ(read_file(path), actual) << "differs from " << path << " (UPDATE_GOLDEN=1 rewrites it)";
}

// Replays a transcript that carries its own inputs: each line that begins with `marker` holds
// one, up to " =>" or the end of the line, and `replay` writes the lines that input stands for,
// its own line first. The transcript so made must equal the file.
inline void expect_replayed_golden(const std::string& name, const std::string& marker,
                                   const std::function<std::string(const std::string&)>& replay) {
    std::istringstream golden(read_file(std::string(GOLDEN_DIR) + "/" + name));
    std::string line, transcript;
    int32_t inputs = 0;
    while (std::getline(golden, line))
        if (line.rfind(marker, 0) == 0) {
            ++inputs;
            transcript += replay(line.substr(marker.size(), line.find(" =>") - marker.size()));
        }
    EXPECT_GT(inputs, 0) << name << " holds no inputs";
    expect_golden(name, transcript);
}

// FNV-1a of the frame's shown colours (the low 24 bits), as 16 hex digits. The real-window tests
// hash their screenshots the same way.
inline std::string frame_hash() {
    uint64_t hash = 14695981039346656037ull;
    for (const auto& row : screen.frame)
        for (uint32_t pixel : row)
            for (int32_t shift : {16, 8, 0}) hash = (hash ^ (pixel >> shift & 0xFF)) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
