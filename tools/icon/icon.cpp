// icon.cpp -- draws the program's icon (a corner of the board with a winning diagonal) as PNGs.
//
// Usage: viertal-icon OUTDIR   writes OUTDIR/viertal-48.png, -128, -192, -256 and -512 (the
//                              desktop's and the web page's), and OUTDIR/viertal.ico for the
//                              Windows program.
//
// The icon uses the game's own colours: the board plate 0x2200AA with round holes, through which
// the dark background shows, and discs 0xFF4400 / 0xFFFF00 with their darker rings 0xBB0000 /
// 0xBBBB00. The figure is laid out on a 1024 x 1024 design grid and every pixel averages 8 x 8
// samples, all in integer arithmetic, so the output is the same on every machine.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/icon/png.h"

namespace {

constexpr int64_t DESIGN = 1024;              // design grid units across the icon
constexpr int32_t SAMPLES = 8;                // samples per pixel along each axis
constexpr uint32_t TRANSPARENT = 0xFFFFFFFFu; // marks a sample outside the plate

constexpr uint32_t BOARD = 0x2200AA;
constexpr uint32_t HOLE = 0x4A4A4C; // the dark, nearly grey background seen through an empty hole
constexpr uint32_t RED = 0xFF4400, RED_RING = 0xBB0000;
constexpr uint32_t YELLOW = 0xFFFF00, YELLOW_RING = 0xBBBB00;

constexpr int64_t PLATE_LOW = 32, PLATE_HIGH = 992; // plate edges, both axes
constexpr int64_t PLATE_CORNER = 128;               // radius of the plate's rounded corners
constexpr int64_t PITCH = 240;                      // hole spacing: four holes across
constexpr int64_t HOLE_RADIUS = 94;
constexpr int64_t DISC_RADIUS = 88;
constexpr int64_t RING_RADIUS = 64; // middle of the disc's darker ring
constexpr int64_t RING_HALF_WIDTH = 8;

// The position on the icon's 4 x 4 holes, top row first: '.' empty, 'R' red, 'Y' yellow.
// Red has four on the rising diagonal, as at the end of a won game.
constexpr const char* LAYOUT[4] = {
    "...R",
    "..RY",
    ".RYY",
    "RYRY",
};

// A point in design units scaled by `scale`, so sample centres are exact integers.
struct Point {
    int64_t x, y;
};

// True when p lies within `radius` of (cx, cy); all values in design units times `scale`.
bool inside_circle(Point p, int64_t cx, int64_t cy, int64_t radius) {
    int64_t dx = p.x - cx, dy = p.y - cy;
    return dx * dx + dy * dy <= radius * radius;
}

// True when p lies on the rounded plate.
bool on_plate(Point p, int64_t scale) {
    int64_t low = PLATE_LOW * scale, high = PLATE_HIGH * scale, corner = PLATE_CORNER * scale;
    if (p.x < low || p.x > high || p.y < low || p.y > high) return false;
    int64_t cx = p.x < low + corner ? low + corner : p.x > high - corner ? high - corner : p.x;
    int64_t cy = p.y < low + corner ? low + corner : p.y > high - corner ? high - corner : p.y;
    return inside_circle(p, cx, cy, corner);
}

// Returns the colour of the figure at p, or TRANSPARENT off the plate.
uint32_t colour_at(Point p, int64_t scale) {
    if (!on_plate(p, scale)) return TRANSPARENT;
    for (int32_t row = 0; row < 4; ++row) {
        for (int32_t column = 0; column < 4; ++column) {
            int64_t cx = (PLATE_LOW + PITCH / 2 + PITCH * column) * scale;
            int64_t cy = (PLATE_LOW + PITCH / 2 + PITCH * row) * scale;
            if (!inside_circle(p, cx, cy, HOLE_RADIUS * scale)) continue;
            char mark = LAYOUT[row][column];
            if (mark == '.' || !inside_circle(p, cx, cy, DISC_RADIUS * scale)) return HOLE;
            bool ring = inside_circle(p, cx, cy, (RING_RADIUS + RING_HALF_WIDTH) * scale) &&
                        !inside_circle(p, cx, cy, (RING_RADIUS - RING_HALF_WIDTH) * scale);
            if (mark == 'R') return ring ? RED_RING : RED;
            return ring ? YELLOW_RING : YELLOW;
        }
    }
    return BOARD;
}

// Renders the icon at size x size pixels as RGBA bytes, rows top first.
std::vector<uint8_t> render(int32_t size) {
    // Sample (i, j) of a pixel sits at ((SAMPLES * px + i) * 2 + 1) / (2 * SAMPLES * size) of the
    // width; multiplying the design grid by that denominator keeps every coordinate whole.
    const int64_t scale = 2 * SAMPLES * static_cast<int64_t>(size);
    const int32_t total = SAMPLES * SAMPLES;
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int32_t py = 0; py < size; ++py) {
        for (int32_t px = 0; px < size; ++px) {
            int64_t red = 0, green = 0, blue = 0, covered = 0;
            for (int32_t j = 0; j < SAMPLES; ++j) {
                for (int32_t i = 0; i < SAMPLES; ++i) {
                    Point p{((SAMPLES * px + i) * 2 + 1) * DESIGN, ((SAMPLES * py + j) * 2 + 1) * DESIGN};
                    uint32_t c = colour_at(p, scale);
                    if (c == TRANSPARENT) continue;
                    red += c >> 16;
                    green += (c >> 8) & 0xFF;
                    blue += c & 0xFF;
                    ++covered;
                }
            }
            uint8_t* out = &rgba[(static_cast<size_t>(py) * size + px) * 4];
            if (covered > 0) { // colour of the covered part; coverage becomes alpha
                out[0] = static_cast<uint8_t>((red + covered / 2) / covered);
                out[1] = static_cast<uint8_t>((green + covered / 2) / covered);
                out[2] = static_cast<uint8_t>((blue + covered / 2) / covered);
            }
            out[3] = static_cast<uint8_t>((covered * 255 + total / 2) / total);
        }
    }
    return rgba;
}

// Writes the 48-pixel icon as C++ source of RGBA bytes, for the window's own icon.
bool write_window_icon(const std::string& path) {
    const std::vector<uint8_t> rgba = render(48);
    std::string text = "// window_icon.cpp -- the window's icon: 48 x 48 RGBA bytes, rows top first.\n"
                       "//\n"
                       "// Generated by tools/icon (viertal-icon) with the PNG icons; do not edit.\n"
                       "#include \"platform/sdl/window_icon.h\"\n\n"
                       "// clang-format off\n"
                       "const uint8_t window_icon_rgba[WINDOW_ICON_SIZE * WINDOW_ICON_SIZE * 4] = {\n";
    char byte[16];
    for (size_t i = 0; i < rgba.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%s0x%02x,", i % 16 == 0 ? "    " : " ", rgba[i]);
        text += byte;
        if (i % 16 == 15) text += "\n";
    }
    text += "};\n";
    return write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Appends v as `bytes` little-endian bytes.
void put_le(std::vector<uint8_t>& out, uint32_t v, int32_t bytes) {
    for (int32_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Returns one icon image in the classic form: a 32-bit BGRA bitmap, bottom row first, with
// the doubled height the format asks for, then its 1-bit mask (set where fully transparent).
std::vector<uint8_t> icon_bitmap(int32_t size) {
    const std::vector<uint8_t> rgba = render(size);
    const int32_t mask_stride = (size + 31) / 32 * 4;
    std::vector<uint8_t> out;
    for (uint32_t v : {40u, uint32_t(size), uint32_t(size * 2), 1u | 32u << 16, 0u, 0u, 0u, 0u, 0u, 0u})
        put_le(out, v, 4);
    for (int32_t y = size - 1; y >= 0; --y)
        for (int32_t x = 0; x < size; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    for (int32_t y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(mask_stride), 0);
        for (int32_t x = 0; x < size; ++x)
            if (rgba[(static_cast<size_t>(y) * size + x) * 4 + 3] == 0)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// Returns the Windows icon file: 16, 24, 32 and 48 pixels as bitmaps, 256 as PNG, as Windows
// itself stores large icons.
std::vector<uint8_t> icon_file() {
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> images;
    for (int32_t size : {16, 24, 32, 48}) images.emplace_back(size, icon_bitmap(size));
    images.emplace_back(256, encode_png(256, 256, render(256)));
    std::vector<uint8_t> out;
    put_le(out, 0, 2);
    put_le(out, 1, 2); // an icon, not a cursor
    put_le(out, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& [size, bytes] : images) {
        put_le(out, size % 256, 1); // 0 stands for 256
        put_le(out, size % 256, 1);
        put_le(out, 0, 2); // no palette, reserved
        put_le(out, 1, 2); // planes
        put_le(out, 32, 2);
        put_le(out, static_cast<uint32_t>(bytes.size()), 4);
        put_le(out, offset, 4);
        offset += static_cast<uint32_t>(bytes.size());
    }
    for (const auto& image : images) out.insert(out.end(), image.second.begin(), image.second.end());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: viertal-icon OUTDIR [WINDOW_ICON_CPP]\n");
        return 2;
    }
    if (argc == 3 && !write_window_icon(argv[2])) {
        std::fprintf(stderr, "viertal-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    for (int32_t size : {48, 128, 192, 256, 512}) {
        std::string path = std::string(argv[1]) + "/viertal-" + std::to_string(size) + ".png";
        if (!write_file(path, encode_png(size, size, render(size)))) {
            std::fprintf(stderr, "viertal-icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const std::string ico = std::string(argv[1]) + "/viertal.ico";
    if (!write_file(ico, icon_file())) {
        std::fprintf(stderr, "viertal-icon: cannot write %s\n", ico.c_str());
        return 1;
    }
    return 0;
}
