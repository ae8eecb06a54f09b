// picture_maker.cpp -- generator of the dark slate background picture and its item encoder.
//
// Integer arithmetic only (no floating point, no libm), so the picture is the same byte for byte
// with every compiler and library. Grey levels stay at 35 or above: every byte then stands in the
// picture text as itself, never as a three-character hex token, which keeps the text small.
#include "tools/picture/picture_maker.h"

#include <cstdio>

namespace {

constexpr int64_t ONE = 65536;  // 1.0 in 16.16 fixed point
constexpr int32_t DARKEST = 35; // lowest grey level: above 0x20 and 0x22, the hex-coded bytes
constexpr int32_t MIN_ITEM = 201;
constexpr int32_t MAX_ITEM = 208;
constexpr const char* END_MARKER = "EndeFini";

// Mixes 32 bits into 32 well-spread bits.
uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Returns the lattice value 0..65535 at integer point (ix, iy) of noise layer `seed`.
int64_t lattice(int64_t ix, int64_t iy, uint32_t seed) {
    uint32_t h = hash32(static_cast<uint32_t>(iy) * 0x85EBCA77U + seed * 0xC2B2AE3DU);
    return hash32(static_cast<uint32_t>(ix) * 0x9E3779B1U ^ h) & 0xFFFF;
}

// Returns the smooth step 3t^2 - 2t^3 of t in 0..ONE, in 0..ONE.
int64_t smooth(int64_t t) {
    return t * t / ONE * (3 * ONE - 2 * t) / ONE;
}

// Returns value noise 0..65535 at (x, y) given in lattice cells, 16.16 fixed point, both >= 0.
int64_t value_noise(int64_t x, int64_t y, uint32_t seed) {
    int64_t ix = x / ONE, iy = y / ONE;
    int64_t sx = smooth(x % ONE), sy = smooth(y % ONE);
    int64_t top = lattice(ix, iy, seed) * (ONE - sx) + lattice(ix + 1, iy, seed) * sx;
    int64_t bottom = lattice(ix, iy + 1, seed) * (ONE - sx) + lattice(ix + 1, iy + 1, seed) * sx;
    return (top / ONE * (ONE - sy) + bottom / ONE * sy) / ONE;
}

// Returns fractal noise -32768..32767 over `octaves` layers, the first with cells of
// `cell_x` by `cell_y` pixels, each next one twice as fine at 55 % of the weight.
int64_t fractal_noise(int64_t x, int64_t y, int64_t cell_x, int64_t cell_y, int32_t octaves, uint32_t seed) {
    int64_t sum = 0, weight = 0, amplitude = 1000;
    for (int32_t octave = 0; octave < octaves; ++octave) {
        int64_t nx = (x + 4096) * ONE / cell_x, ny = (y + 4096) * ONE / cell_y;
        sum += (value_noise(nx, ny, seed + static_cast<uint32_t>(octave)) - 32768) * amplitude;
        weight += amplitude;
        amplitude = amplitude * 55 / 100;
        cell_x = cell_x > 2 ? cell_x / 2 : 1;
        cell_y = cell_y > 2 ? cell_y / 2 : 1;
    }
    return weight > 0 ? sum / weight : 0;
}

// Returns the soft light falling on (x, y), 0..ONE: one broad lamp above the board's left half.
int64_t light(int64_t x, int64_t y) {
    const int64_t lamp_x = 280, lamp_y = 130, reach = 430; // pixels
    int64_t dx = x - lamp_x, dy = (y - lamp_y) * 5 / 4;
    int64_t r2 = reach * reach;
    return ONE * r2 / (r2 + dx * dx + dy * dy);
}

// Returns the lens vignette at (x, y), ONE in the middle falling to 0.62 in the corners.
int64_t vignette(int64_t x, int64_t y) {
    int64_t dx = 2 * x - 639, dy = 2 * y - 479; // half pixels from the centre
    int64_t d2 = dx * dx + dy * dy, corner2 = 639 * 639 + 479 * 479;
    int64_t q = d2 * ONE / corner2; // 0..ONE
    return ONE - (q * q / ONE * 25 + q * 13) / 100;
}

// Returns a thin ridge 0..ONE where fractal noise n (-32768..32767) crosses zero.
int64_t ridge(int64_t n) {
    int64_t r = ONE - (n < 0 ? -n : n) * ONE / 6000; // 1 on the crossing, 0 from |n| = 6000
    if (r < 0) return 0;
    return r * r / ONE * r / ONE;
}

// Returns white noise -32768..32767 for pixel (x, y) of layer `seed`.
int64_t white(int64_t x, int64_t y, uint32_t seed) {
    uint32_t h = hash32(static_cast<uint32_t>(y * 4096 + x) * 2654435761U + seed * 0x27D4EB2FU);
    return static_cast<int64_t>(h & 0xFFFF) - 32768;
}

// Returns grit -32768..32767: white noise softened over a 3 x 3 neighbourhood.
int64_t grit(int64_t x, int64_t y) {
    int64_t sum = 0;
    for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dx = -1; dx <= 1; ++dx) sum += white(x + dx + 8, y + dy + 8, 5) * (dx == 0 && dy == 0 ? 4 : 1);
    return sum / 6; // centre weighted 4 of 12: keeps about the spread of the plain noise
}

// Returns the grey level of picture pixel (x, y), y counted from the top, in 1/256 levels.
int64_t grey_level(int64_t x, int64_t y) {
    const int64_t floor_level = (DARKEST + 1) * 256, top_level = 90 * 256;
    int64_t lit = light(x, y) * vignette(x, y) / ONE;
    // Mottled stone: broad clouds, smaller blotches and grit.
    int64_t clouds = fractal_noise(x, y, 230, 190, 3, 11);
    int64_t blotches = fractal_noise(x * 7 + y * 3, y * 7 - x * 3, 330, 300, 3, 17); // turned, hides the grid
    int64_t fine = grit(x, y);
    // Cleavage: faint lighter seams running slightly uphill to the right.
    int64_t u = x * 9 + y, v = y * 9 - x;
    int64_t seams = ridge(fractal_noise(u / 9, v / 9, 420, 70, 3, 31));
    int64_t texture = ONE + clouds * 110 / 100 + blotches * 45 / 100 + fine * 16 / 100 + seams * 8 / 100;
    int64_t level = floor_level + (top_level - floor_level) * lit / ONE * texture / ONE;
    // Photographic grain: two uniform draws of about a level each.
    uint32_t h = hash32(static_cast<uint32_t>(y * 640 + x) * 2654435761U + 977U);
    level += static_cast<int64_t>(h & 0x1FF) + static_cast<int64_t>((h >> 9) & 0x1FF) - 512;
    return level;
}

// Appends a little-endian field of `bytes` bytes.
void put(std::vector<uint8_t>& out, uint32_t value, int32_t bytes) {
    for (int32_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Appends the 14-byte file header and the 40-byte information header.
void put_header(std::vector<uint8_t>& out) {
    out.push_back('B');
    out.push_back('M');
    put(out, PICTURE_FILE_SIZE, 4);
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, 54, 4); // pixel data offset
    put(out, 40, 4); // information header size
    put(out, PICTURE_WIDTH, 4);
    put(out, PICTURE_HEIGHT, 4); // positive: bottom row first
    put(out, 1, 2);              // planes
    put(out, 24, 2);             // bits per pixel
    put(out, 0, 4);              // no compression
    put(out, 921602, 4);         // image size: the pixel rows and the two closing zeros
    put(out, 2834, 4);           // pixels per metre, both ways
    put(out, 2834, 4);
    put(out, 0, 4);
    put(out, 0, 4);
}

// Tells whether byte b stands in the picture text as a hex or byte run token.
bool hex_coded(uint8_t b) {
    return b < 0x21 || b == 0x22 || b == 0xFF;
}

// The picture text as one string, and where each token starts in it.
struct TokenText {
    std::string text;          // all tokens in a row
    std::vector<size_t> start; // offset of each token, then the text's length
};

// Appends one token.
void put_token(TokenText& tokens, const char* token) {
    tokens.start.push_back(tokens.text.size());
    tokens.text += token;
}

// Appends the token(s) for `count` equal bytes b: one run token from 9 on, else single tokens.
void put_tokens(TokenText& tokens, uint8_t b, int32_t count) {
    char text[32];
    if (count >= 9) {
        if (hex_coded(b))
            std::snprintf(text, sizeof text, " -%d %02X", count, b);
        else
            std::snprintf(text, sizeof text, " +%d %c", count, b);
        put_token(tokens, text);
        return;
    }
    if (hex_coded(b))
        std::snprintf(text, sizeof text, " %02X", b);
    else
        std::snprintf(text, sizeof text, "%c", b);
    for (int32_t i = 0; i < count; ++i) put_token(tokens, text);
}

// Returns the tokens of `bytes`, runs of equal bytes taken whole.
TokenText tokenize(const std::vector<uint8_t>& bytes) {
    TokenText tokens;
    tokens.text.reserve(bytes.size() + bytes.size() / 8);
    tokens.start.reserve(bytes.size() + 1);
    size_t i = 0;
    while (i < bytes.size()) {
        size_t j = i;
        while (j < bytes.size() && bytes[j] == bytes[i]) ++j;
        put_tokens(tokens, bytes[i], static_cast<int32_t>(j - i));
        i = j;
    }
    tokens.start.push_back(tokens.text.size());
    return tokens;
}

// Tells whether text[from, to) may stand as an item: not ending in the end marker (which covers
// equality too). Tokens never end in a space, so items cannot either.
bool allowed_item(const std::string& text, size_t from, size_t to) {
    const std::string marker = END_MARKER;
    return !(to - from >= marker.size() && text.compare(to - marker.size(), marker.size(), marker) == 0);
}

// Appends the C++ literal of `item`: octal escapes for bytes outside printable ASCII, and
// escaped quote, backslash and question mark (no trigraphs).
void put_literal(std::string& out, const std::string& item) {
    out += '"';
    for (unsigned char c : item) {
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

} // namespace

std::vector<uint8_t> make_picture_bmp() {
    std::vector<uint8_t> out;
    out.reserve(PICTURE_FILE_SIZE);
    put_header(out);
    for (int64_t row = PICTURE_HEIGHT - 1; row >= 0; --row) { // bottom row first
        for (int64_t x = 0; x < PICTURE_WIDTH; ++x) {
            int64_t g = (grey_level(x, row) + 128) / 256;
            if (g < DARKEST) g = DARKEST;
            if (g > 254) g = 254;
            for (int32_t channel = 0; channel < 3; ++channel) out.push_back(static_cast<uint8_t>(g)); // B, G, R
        }
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<std::string> encode_picture(const std::vector<uint8_t>& bmp) {
    TokenText tokens = tokenize(bmp);
    const std::string& text = tokens.text;
    const std::vector<size_t>& start = tokens.start;
    size_t n = start.size() - 1; // tokens
    // Tells whether tokens [i, j) make an allowed item that is not the last one.
    auto inner_item = [&](size_t i, size_t j) {
        size_t length = start[j] - start[i];
        return length >= MIN_ITEM && length <= MAX_ITEM && allowed_item(text, start[i], start[j]);
    };
    // Tells whether tokens [i, n) make an allowed last item.
    auto last_item = [&](size_t i) {
        size_t length = start[n] - start[i];
        return length >= 1 && length <= MAX_ITEM && allowed_item(text, start[i], start[n]);
    };
    // fits[i]: tokens i..n-1 can be cut into allowed items, computed from the end. `first` is
    // the first token j with start[j] - start[i] >= MIN_ITEM; it only moves down with i.
    std::vector<bool> fits(n + 1, false);
    size_t first = n + 1;
    for (size_t i = n; i-- > 0;) {
        while (first > i + 1 && start[first - 1] - start[i] >= MIN_ITEM) --first;
        fits[i] = last_item(i);
        for (size_t j = first; !fits[i] && j <= n && start[j] - start[i] <= MAX_ITEM; ++j)
            fits[i] = fits[j] && inner_item(i, j);
    }
    std::vector<std::string> items;
    if (n == 0 || !fits[0]) return items;
    // Cut greedily: the longest allowed item after which the rest still fits.
    size_t i = 0;
    while (i < n) {
        if (last_item(i)) {
            items.push_back(text.substr(start[i]));
            break;
        }
        size_t best = i;
        for (size_t j = i + 1; j <= n && start[j] - start[i] <= MAX_ITEM; ++j)
            if (fits[j] && inner_item(i, j)) best = j;
        items.push_back(text.substr(start[i], start[best] - start[i]));
        i = best;
    }
    return items;
}

std::string format_picture_items(const std::vector<std::string>& items) {
    std::string out;
    out += "// picture_items.cpp -- the picture text of the data table: the background picture as text.\n";
    out += "//\n";
    out += "// Generated by tools/picture (make_picture); do not edit. The picture is this project's own\n";
    out += "// dark slate surface, computed by the generator there. Rebuild it with\n";
    out += "//     cmake --build BUILD --target regenerate\n";
    out += "// The items hold whole tokens: literal bytes, \" HH\" hex bytes, \" -N HH\" and \" +N c\" runs.\n";
    out += "#include \"data/data_table.h\"\n\n";
    out += "// clang-format off\n";
    out += "const char* const picture_items[] = {\n";
    for (const std::string& item : items) {
        out += "    ";
        put_literal(out, item);
        out += ",\n";
    }
    out += "    \"";
    out += END_MARKER;
    out += "\",\n};\n";
    out += "const int32_t picture_item_count = sizeof picture_items / sizeof picture_items[0];\n";
    return out;
}
