// scratch.h -- scratch directories and a clean picture environment for the picture tests.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/picture.h"

// A fresh directory under the system's temp directory, removed with everything in it.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "viertal-picture-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        char* made = mkdtemp(buffer.data());
        path = made != nullptr ? made : "";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    // Returns the names of the entries in the directory, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Clears "temp", "TEMP" and "TMPDIR" and the injected fallback, and restores them afterwards.
struct PictureEnvironment {
    std::vector<std::pair<std::string, std::string>> saved;
    PictureEnvironment() {
        for (const char* name : {"temp", "TEMP", "TMPDIR"}) {
            const char* value = std::getenv(name);
            if (value != nullptr) saved.emplace_back(name, value);
            unsetenv(name);
        }
    }
    ~PictureEnvironment() {
        for (const char* name : {"temp", "TEMP", "TMPDIR"}) unsetenv(name);
        for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
        set_picture_fallback_directory("");
    }
};

// Returns the whole content of a file ("" when it cannot be read).
inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes `content` to a file.
inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}
