// replay_main.cpp -- runs a fuzz target's entry point once per file, for the normal (g++) build:
// the committed seeds and every input that once crashed are replayed as a regular test.
//
// Usage: fuzz_replay_TARGET PATH...   each PATH a file or a folder of files (missing: skipped)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

// Feeds one file's bytes to the target.
static void replay(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char** argv) {
    int32_t count = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path path = argv[i];
        if (fs::is_regular_file(path)) {
            replay(path);
            ++count;
        } else if (fs::is_directory(path)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) replay(file);
            count += static_cast<int32_t>(files.size());
        }
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1; // a target with no seeds at all is a mistake in the test set-up
}
