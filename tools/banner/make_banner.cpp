// make_banner.cpp -- turns the ASCII layout banner.txt into data/banner_items.cpp.
//
// usage: make_banner LAYOUT OUTPUT_CPP [PREVIEW_PPM]
// Reads the 352 x 12 layout (format described at the top of banner.txt), shades its edge pixels,
// and writes the banner list of the data table: 352 groups of 12 decimal colour texts, column by
// column, each column top to bottom. With PREVIEW_PPM it also writes a 4x preview picture.
// Prints the number of pixels of each colour on stderr. Exits 1 on a malformed layout.
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
// The darker greens, from darkest to brightest: the bright green scaled towards black.
constexpr uint32_t SHADES[] = {0x31632A, 0x3A7532, 0x428539, 0x49923F, 0x4F9E44, 0x54A948, 0x59B34D,
                               0x5EBD51, 0x62C555, 0x67CE58, 0x6AD55B, 0x6EDD5F, 0x72E462, 0x75EB65};
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

// Returns the coverage 0..1 of each pixel: 1 for "#", 0 for ".", the ramp rule for ":".
std::vector<std::vector<double>> coverages(const Layout& rows) {
    std::vector<std::vector<double>> cover(HEIGHT, std::vector<double>(WIDTH, 0.0));
    for (int y = 0; y < HEIGHT; ++y) {
        const std::string& r = rows[y];
        for (int x = 0; x < WIDTH; ++x) {
            char c = r[x];
            if (c == '#')
                cover[y][x] = 1.0;
            else if (c >= '1' && c <= '9')
                cover[y][x] = (c - '0') / 10.0;
            else if (c == ':') {
                int end = x;
                while (end < WIDTH && r[end] == ':') ++end;
                int k = end - x;
                bool green_left = x > 0 && r[x - 1] == '#';
                bool green_right = end < WIDTH && r[end] == '#';
                for (int j = 1; j <= k; ++j) {
                    double rising = static_cast<double>(j) / (k + 1); // towards the right
                    cover[y][x + j - 1] = green_left == green_right ? 0.5 : green_right ? rising : 1.0 - rising;
                }
                x = end - 1;
            }
        }
    }
    return cover;
}

// Returns the brightness of a shade relative to the bright green (by its green channel).
double brightness(uint32_t colour) {
    return ((colour >> 8) & 0xFF) / static_cast<double>((GREEN >> 8) & 0xFF);
}

// Returns the colour of a coverage: black, bright green, or the nearest darker green.
uint32_t colour_of(double cover) {
    if (cover <= 0.0) return 0;
    if (cover >= 1.0) return GREEN;
    uint32_t best = SHADES[0];
    for (uint32_t shade : SHADES)
        if (std::abs(brightness(shade) - cover) < std::abs(brightness(best) - cover)) best = shade;
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
