// fuzz_bmp.cpp -- fuzz target for load_bmp on arbitrary file bytes.
//
// The bytes are written to a file in a private scratch folder and loaded onto a frame painted
// with a marker colour. A small in-memory model of the BMP rules (both headers, "BM", planes at
// most 1, width >= 1, height != 0, 24 or 32 bits uncompressed, rows padded to 4 bytes, bottom row
// first unless the height is negative, only whole stored rows drawn, clipped to 640 x 480) gives
// the expected result and every expected pixel; the frame must match it exactly.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "screen/screen.h"
#include "screen/screen_state.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr uint32_t MARKER = 0x12345678u; // painted before every load; never a loaded value (top byte)

std::string scratch_folder;

// Removes the scratch folder at exit.
void remove_scratch() {
    if (!scratch_folder.empty()) {
        std::remove((scratch_folder + "/input.bmp").c_str());
        ::rmdir(scratch_folder.c_str());
    }
}

// Creates the scratch folder once and marks the screen open, as open_screen would.
const std::string& input_path() {
    static std::string path;
    if (path.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz-bmp-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "cannot create a scratch folder");
        scratch_folder = pattern;
        std::atexit(remove_scratch);
        path = scratch_folder + "/input.bmp";
        std::lock_guard<std::mutex> hold(screen.lock);
        screen.opened = true;
    }
    return path;
}

// Little-endian 16- and 32-bit fields of the headers.
uint32_t u16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t u32(const uint8_t* p) {
    return u16(p) | u16(p + 2) << 16;
}

// What the model expects: the result, and for each frame row the stored row drawn there (or -1).
struct Expected {
    int32_t result = ERROR_BAD_FILE;
    int64_t offset = 0, stride = 0, bytes_per_pixel = 0, columns = 0;
    std::vector<int64_t> stored_row = std::vector<int64_t>(FRAME_HEIGHT, -1);
};

// Applies the BMP rules to the bytes in memory.
Expected model(const uint8_t* d, size_t size) {
    Expected e;
    if (size < 18 || d[0] != 'B' || d[1] != 'M') return e;
    const uint32_t header = u32(d + 14);
    if (header != 12 && header != 40 && header != 56 && header != 108 && header != 124) return e;
    if (size < 14 + size_t(header)) return e;
    int64_t width, height;
    uint32_t planes, bits, compression = 0;
    if (header == 12) {
        width = u16(d + 18);
        height = u16(d + 20);
        planes = u16(d + 22);
        bits = u16(d + 24);
    } else {
        width = int32_t(u32(d + 18));
        height = int32_t(u32(d + 22));
        planes = u16(d + 26);
        bits = u16(d + 28);
        compression = u32(d + 30);
    }
    if (planes > 1 || width < 1 || height == 0 || (bits != 24 && bits != 32) || compression != 0) return e;
    e.offset = u32(d + 10);
    e.bytes_per_pixel = bits / 8;
    e.stride = (width * e.bytes_per_pixel + 3) / 4 * 4;
    e.columns = std::min<int64_t>(width, FRAME_WIDTH);
    const int64_t rows = height < 0 ? -height : height;
    // Stored rows are read in file order; the first that does not fit ends the load.
    int64_t complete = 0;
    if (e.offset <= int64_t(size)) complete = std::min<int64_t>(rows, (int64_t(size) - e.offset) / e.stride);
    for (int64_t i = 0; i < complete; ++i) {
        const int64_t y = height < 0 ? i : rows - 1 - i; // image row from the top
        if (y < FRAME_HEIGHT) e.stored_row[size_t(y)] = i;
    }
    e.result = complete == rows ? 0 : ERROR_BAD_FILE;
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = input_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr, "cannot write %s", path.c_str());
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0, "short write of %s", path.c_str());

    {
        std::lock_guard<std::mutex> hold(screen.lock);
        std::fill(&screen.frame[0][0], &screen.frame[0][0] + FRAME_WIDTH * FRAME_HEIGHT, MARKER);
    }
    const int32_t result = load_bmp(path);
    const Expected e = model(data, size);
    FUZZ_CHECK(result == e.result, "load_bmp gave %d, expected %d", result, e.result);
    FUZZ_CHECK(last_error() == result, "last_error %d after load_bmp gave %d", last_error(), result);

    // Compare row by row: a whole row at once, and pixel by pixel only to report a difference.
    static uint32_t want[FRAME_WIDTH];
    std::lock_guard<std::mutex> hold(screen.lock);
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
        const int64_t stored = e.stored_row[size_t(y)];
        std::fill(want, want + FRAME_WIDTH, MARKER);
        for (int64_t x = 0; stored >= 0 && x < e.columns; ++x) {
            const uint8_t* p = data + e.offset + stored * e.stride + x * e.bytes_per_pixel;
            want[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        if (std::memcmp(screen.frame[y], want, sizeof want) == 0) continue;
        for (int32_t x = 0; x < FRAME_WIDTH; ++x)
            FUZZ_CHECK(screen.frame[y][x] == want[x], "pixel (%d, %d) is %08X, expected %08X", x, y, screen.frame[y][x],
                       want[x]);
    }
    return 0;
}
