// fuzz_bmp.cpp -- fuzz target for load_bmp, which reads a file from a directory anyone may write.
//
// The bytes are written to a scratch file and loaded onto a frame painted with a marker colour.
// A small model of the BMP rules (both header kinds, "BM", at most 1 plane, width >= 1, height
// != 0, 24 or 32 bits uncompressed, rows padded to 4 bytes, bottom row first unless the height
// is negative, only whole stored rows drawn, clipped to 640 x 480) gives the expected result and
// every expected pixel; the frame must match it exactly.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "screen/screen.h"
#include "screen/screen_state.h"

#define FUZZ_CHECK(condition, ...)                                                                                     \
    if (!(condition)) {                                                                                                \
        std::fprintf(stderr, "check failed: " __VA_ARGS__);                                                            \
        std::abort();                                                                                                  \
    }

namespace {

constexpr uint32_t MARKER = 0x12345678u; // never a loaded value: its top byte is not FF

uint32_t u16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t u32(const uint8_t* p) {
    return u16(p) | u16(p + 2) << 16;
}

// The model: the result, and where the image's rows lie in the bytes.
struct Expected {
    int32_t result = ERROR_BAD_FILE;
    int64_t offset = 0, stride = 0, bytes_per_pixel = 0, columns = 0, height = 0, complete = 0;
};

Expected model(const uint8_t* d, size_t size) {
    Expected e;
    if (size < 18 || d[0] != 'B' || d[1] != 'M') return e;
    const uint32_t header = u32(d + 14);
    const bool core = header == 12;
    if ((!core && header != 40 && header != 56 && header != 108 && header != 124) || size < 14 + size_t(header))
        return e;
    const int64_t width = core ? int64_t(u16(d + 18)) : int32_t(u32(d + 18));
    e.height = core ? int64_t(u16(d + 20)) : int32_t(u32(d + 22));
    const uint32_t planes = u16(d + (core ? 22 : 26)), bits = u16(d + (core ? 24 : 28)),
                   packed = core ? 0 : u32(d + 30);
    if (planes > 1 || width < 1 || e.height == 0 || (bits != 24 && bits != 32) || packed != 0) return e;
    e.offset = u32(d + 10);
    e.bytes_per_pixel = bits / 8;
    e.stride = (width * e.bytes_per_pixel + 3) / 4 * 4;
    e.columns = std::min<int64_t>(width, FRAME_WIDTH);
    const int64_t rows = std::abs(e.height);
    if (e.offset <= int64_t(size)) e.complete = std::min<int64_t>(rows, (int64_t(size) - e.offset) / e.stride);
    e.result = e.complete == rows ? 0 : ERROR_BAD_FILE;
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string path;
    if (path.empty()) {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base && *base ? base : "/tmp") + "/fuzz-bmp-" + std::to_string(getpid()) + ".bmp";
        screen.opened = true;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f && (size == 0 || std::fwrite(data, 1, size, f) == size) && std::fclose(f) == 0, "cannot write %s\n",
               path.c_str());
    std::fill(&screen.frame[0][0], &screen.frame[0][0] + FRAME_WIDTH * FRAME_HEIGHT, MARKER);
    const int32_t result = load_bmp(path);
    std::remove(path.c_str());
    const Expected e = model(data, size);
    FUZZ_CHECK(result == e.result && last_error() == result, "load_bmp gave %d, expected %d\n", result, e.result);
    for (int64_t y = 0; y < FRAME_HEIGHT; ++y) {
        // The stored row shown at frame row y, if it is whole in the file.
        const int64_t stored = e.height < 0 ? y : std::abs(e.height) - 1 - y;
        const bool drawn = stored >= 0 && stored < e.complete;
        for (int64_t x = 0; x < FRAME_WIDTH; ++x) {
            uint32_t want = MARKER;
            if (drawn && x < e.columns) {
                const uint8_t* p = data + e.offset + stored * e.stride + x * e.bytes_per_pixel;
                want = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
            FUZZ_CHECK(screen.frame[y][x] == want, "pixel (%ld, %ld) is %08X, expected %08X\n", long(x), long(y),
                       screen.frame[y][x], want);
        }
    }
    return 0;
}
