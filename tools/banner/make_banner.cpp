// make_banner.cpp -- turns the ASCII layout banner.txt into data/banner_items.cpp.
//
// usage: make_banner LAYOUT OUTPUT_CPP [PREVIEW_PPM]
// Reads the 352 x 12 layout (format described at the top of banner.txt), shades its edge pixels,
// and writes the banner list of the data table: 352 groups of 12 decimal colour texts, column by
// column, each column top to bottom. With PREVIEW_PPM it also writes a 4x preview picture.
// Prints the number of pixels of each colour on stderr. Exits 1 on a malformed layout.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 352;
constexpr int HEIGHT = 12;
constexpr int STRIP = 88; // columns per strip of the layout
constexpr int PREVIEW_SCALE = 4;

constexpr uint32_t GREEN = 0x79F268;
// Bright green, black, and the 14 darker greens from darkest to brightest: the bright green
// scaled towards black by about 0.40 .. 0.97.
constexpr uint32_t ALL_COLOURS[] = {GREEN,    0x000000, 0x31632A, 0x3A7532, 0x428539, 0x49923F, 0x4F9E44, 0x54A948,
                                    0x59B34D, 0x5EBD51, 0x62C555, 0x67CE58, 0x6AD55B, 0x6EDD5F, 0x72E462, 0x75EB65};

using Layout = std::vector<std::string>; // HEIGHT rows of WIDTH characters

// Prints the message on stderr and ends the program with status 1.
[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "make_banner: %s\n", message.c_str());
    std::exit(1);
}

// Returns true when `c` may stand in the layout.
bool is_pixel_char(char c) {
    return c == '#' || c == '.' || c == ':' || (c >= '1' && c <= '9');
}

// Reads the layout file: four strips of 88 columns, each a "columns A-B" line and 12 rows.
Layout read_layout(const char* path) {
    std::ifstream in(path);
    if (!in) fail(std::string("cannot read ") + path);
    Layout rows(HEIGHT);
    int strips = 0, row = -1, line_number = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        std::string where = " (line " + std::to_string(line_number) + ")";
        if (line.rfind("columns ", 0) == 0) {
            if (row >= 0 && row < HEIGHT) fail("strip with fewer than 12 rows" + where);
            std::string expected =
                "columns " + std::to_string(strips * STRIP) + "-" + std::to_string(strips * STRIP + STRIP - 1);
            if (line != expected) fail("expected '" + expected + "'" + where);
            ++strips;
            row = 0;
            continue;
        }
        if (row < 0 || row >= HEIGHT) fail("pixel row outside a strip" + where);
        if (line.size() != STRIP) fail("a row must have exactly 88 characters" + where);
        for (char c : line)
            if (!is_pixel_char(c)) fail(std::string("unknown character '") + c + "'" + where);
        rows[row++] += line;
    }
    if (strips != WIDTH / STRIP || row != HEIGHT) fail("expected four complete strips");
    return rows;
}

constexpr int64_t SUB = 16;                  // samples per pixel side when measuring a sloped edge
constexpr int64_t FULL = SUB * SUB;          // coverage units of a fully green pixel
constexpr int FIT_ROWS = 2;                  // rows above and below that shape an edge's local line
constexpr int MAX_STEP = 6;                  // half pixels an edge may move from one row to the next
constexpr int64_t HARD_GREEN = FULL * 3 / 4; // the least a green pixel beside an edge keeps
constexpr int64_t HARD_BLACK = FULL / 4;     // the most a black pixel beside an edge gets

// One run of ":" in a row: columns a..b, and on which side the green lies.
struct Run {
    int y;
    int a, b;
    int side;       // +1 green on the right, -1 green on the left, 0 the same on both sides
    int centre;     // a + b + 1: the middle of the run in half pixels
    int above = -1; // index of the run of the same edge in the row above, or -1
    int below = -1; // index of the run of the same edge in the row below, or -1
};

// Returns every run of ":" of the layout, top row first, each row left to right.
std::vector<Run> find_runs(const Layout& rows) {
    std::vector<Run> runs;
    for (int y = 0; y < HEIGHT; ++y) {
        const std::string& r = rows[y];
        for (int x = 0; x < WIDTH; ++x) {
            if (r[x] != ':') continue;
            int end = x;
            while (end < WIDTH && r[end] == ':') ++end;
            bool green_left = x > 0 && r[x - 1] == '#';
            bool green_right = end < WIDTH && r[end] == '#';
            int side = green_left == green_right ? 0 : green_right ? 1 : -1;
            runs.push_back({y, x, end - 1, side, x + end});
            x = end - 1;
        }
    }
    return runs;
}

// Links each sloped run to the nearest run of the same side in the next row: the runs of one edge.
void link_edges(std::vector<Run>& runs) {
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].side == 0) continue;
        int best = -1;
        for (size_t j = 0; j < runs.size(); ++j) {
            const Run& r = runs[j];
            if (r.y != runs[i].y + 1 || r.side != runs[i].side || r.above >= 0) continue;
            int step = std::abs(r.centre - runs[i].centre);
            if (step <= MAX_STEP && (best < 0 || step < std::abs(runs[best].centre - runs[i].centre)))
                best = static_cast<int>(j);
        }
        if (best >= 0) {
            runs[i].below = best;
            runs[best].above = static_cast<int>(i);
        }
    }
}

// The line x = (offset + slope * Y) / divisor in half pixels, Y the height in half pixels.
struct Line {
    int64_t offset, slope, divisor; // divisor > 0
};

// Fits a least-squares line through the middles of the edge's runs within FIT_ROWS of run `i`.
// Returns false when the edge has no other run nearby.
bool fit_line(const std::vector<Run>& runs, int i, Line& line) {
    std::vector<int> near = {i};
    for (int k = runs[i].above, n = 0; k >= 0 && n < FIT_ROWS; k = runs[k].above, ++n) near.push_back(k);
    for (int k = runs[i].below, n = 0; k >= 0 && n < FIT_ROWS; k = runs[k].below, ++n) near.push_back(k);
    if (near.size() < 2) return false;
    int64_t n = static_cast<int64_t>(near.size()), sy = 0, sx = 0, syy = 0, syx = 0;
    for (int k : near) {
        int64_t y = 2 * runs[k].y + 1, x = runs[k].centre; // the run's middle, in half pixels
        sy += y;
        sx += x;
        syy += y * y;
        syx += y * x;
    }
    int64_t num = n * syx - sy * sx, den = n * syy - sy * sy; // slope = num / den, den > 0
    line = {den * sx - num * sy, n * num, n * den};
    return true;
}

// Returns how many of the pixel's SUB x SUB samples lie on the green side of the line.
int64_t samples_on_green_side(const Line& line, int side, int x, int y) {
    int64_t count = 0;
    for (int64_t j = 0; j < SUB; ++j)
        for (int64_t i = 0; i < SUB; ++i) {
            int64_t sx = 2 * x * SUB + 2 * i + 1; // sample position in half pixels, times SUB
            int64_t sy = 2 * y * SUB + 2 * j + 1;
            int64_t lhs = sx * line.divisor, rhs = line.offset * SUB + line.slope * sy;
            count += side > 0 ? lhs > rhs : lhs < rhs;
        }
    return count;
}

// Shades the plain pixels just beyond both ends of a sloped run by the same line, where it cuts
// into them: green keeps at least HARD_GREEN, black gets at most HARD_BLACK, so the strokes stay
// firm. The first and last columns are never touched.
void soften_ends(const Layout& rows, const Run& r, const Line& line, std::vector<std::vector<int64_t>>& cover) {
    for (int x : {r.a - 1, r.b + 1}) {
        if (x < 1 || x > WIDTH - 2) continue;
        char c = rows[r.y][x];
        int64_t sampled = samples_on_green_side(line, r.side, x, r.y);
        if (c == '#') cover[r.y][x] = std::min(cover[r.y][x], std::max(sampled, HARD_GREEN));
        if (c == '.') cover[r.y][x] = std::max(cover[r.y][x], std::min(sampled, HARD_BLACK));
    }
}

// Returns the coverage of each pixel in FULL units: FULL for "#", 0 for ".", the tenths of a digit,
// and for ":" the sampled area on the green side of its edge's local line (the ramp rule when a run
// stands alone or has the same on both sides).
std::vector<std::vector<int64_t>> coverages(const Layout& rows) {
    std::vector<std::vector<int64_t>> cover(HEIGHT, std::vector<int64_t>(WIDTH, 0));
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            char c = rows[y][x];
            if (c == '#') cover[y][x] = FULL;
            if (c >= '1' && c <= '9') cover[y][x] = (c - '0') * FULL / 10;
        }
    std::vector<Run> runs = find_runs(rows);
    link_edges(runs);
    for (size_t i = 0; i < runs.size(); ++i) {
        const Run& r = runs[i];
        int k = r.b - r.a + 1;
        Line line{};
        bool sloped = r.side != 0 && fit_line(runs, static_cast<int>(i), line);
        for (int x = r.a; x <= r.b; ++x) {
            int j = x - r.a + 1; // 1..k from the left
            if (sloped)
                cover[r.y][x] = samples_on_green_side(line, r.side, x, r.y);
            else if (r.side == 0)
                cover[r.y][x] = FULL / 2;
            else
                cover[r.y][x] = (r.side > 0 ? j : k + 1 - j) * FULL / (k + 1);
        }
        if (sloped) soften_ends(rows, r, line, cover);
    }
    return cover;
}

// Returns the colour whose light is nearest to the coverage: black, a darker green or the bright
// green. A colour's light is taken as the square of its brightness (its green channel against the
// bright green's), so a pixel half covered by green shows half the green's light; of two equally
// near colours the darker wins.
uint32_t colour_of(int64_t cover) {
    if (cover <= 0) return 0;
    if (cover >= FULL) return GREEN;
    const int64_t top = (GREEN >> 8) & 0xFF;
    uint32_t best = 0;
    int64_t best_distance = cover * top * top; // distance to black, in FULL * top * top units
    for (uint32_t colour : ALL_COLOURS) {
        int64_t g = (colour >> 8) & 0xFF;
        int64_t distance = std::abs(cover * top * top - g * g * FULL);
        if (distance < best_distance || (distance == best_distance && colour < best)) {
            best = colour;
            best_distance = distance;
        }
    }
    return best;
}

// Writes the C++ source of the banner list.
void write_items(const char* path, const std::vector<std::vector<uint32_t>>& pixels) {
    std::ostringstream out;
    out << "// banner_items.cpp -- the banner list of the data table: 352 x 12 colours, column by column.\n"
           "//\n"
           "// Generated by tools/banner/make_banner from tools/banner/banner.txt; do not edit by hand.\n"
           "// Item n (from 0) is the colour 0xRRGGBB, in decimal, of the pixel at x = 146 + n / 12,\n"
           "// y = 2 + n % 12 of the window. One line per banner column.\n"
           "#include \"data/data_table.h\"\n"
           "\n"
           "const char* const banner_items[BANNER_ITEM_COUNT] = {\n";
    for (int x = 0; x < WIDTH; ++x) {
        out << "   ";
        for (int y = 0; y < HEIGHT; ++y) out << " \"" << pixels[y][x] << "\",";
        out << "\n";
    }
    out << "};\n";
    std::ofstream file(path, std::ios::binary);
    file << out.str();
    if (!file) fail(std::string("cannot write ") + path);
}

// Writes a PREVIEW_SCALE times enlarged picture as a binary PPM.
void write_preview(const char* path, const std::vector<std::vector<uint32_t>>& pixels) {
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << WIDTH * PREVIEW_SCALE << " " << HEIGHT * PREVIEW_SCALE << "\n255\n";
    for (int y = 0; y < HEIGHT * PREVIEW_SCALE; ++y)
        for (int x = 0; x < WIDTH * PREVIEW_SCALE; ++x) {
            uint32_t c = pixels[y / PREVIEW_SCALE][x / PREVIEW_SCALE];
            char rgb[3] = {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
            file.write(rgb, 3);
        }
    if (!file) fail(std::string("cannot write ") + path);
}

// Prints how many pixels have each of the 16 colours.
void print_counts(const std::vector<std::vector<uint32_t>>& pixels) {
    for (uint32_t colour : ALL_COLOURS) {
        int count = 0;
        for (const auto& row : pixels)
            for (uint32_t c : row) count += c == colour;
        std::fprintf(stderr, "0x%06X %u: %d\n", colour, colour, count);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) fail("usage: make_banner LAYOUT OUTPUT_CPP [PREVIEW_PPM]");
    auto cover = coverages(read_layout(argv[1]));
    std::vector<std::vector<uint32_t>> pixels(HEIGHT, std::vector<uint32_t>(WIDTH));
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) pixels[y][x] = colour_of(cover[y][x]);
    write_items(argv[2], pixels);
    if (argc == 4) write_preview(argv[3], pixels);
    print_counts(pixels);
    return 0;
}
