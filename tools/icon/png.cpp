// png.cpp -- PNG chunks, row filters and a greedy LZ77 deflate with the fixed Huffman codes.
#include "tools/icon/png.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// Collects bits least significant first, as deflate packs them.
struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t buffer = 0; // pending bits, lowest first
    int32_t count = 0;   // 0..7 pending bits

    // Appends the low `n` bits of `value`, lowest bit first.
    void put(uint32_t value, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            buffer |= ((value >> i) & 1u) << count;
            if (++count == 8) {
                bytes.push_back(static_cast<uint8_t>(buffer));
                buffer = 0;
                count = 0;
            }
        }
    }

    // Appends a Huffman code of `n` bits, most significant bit first.
    void put_code(uint32_t code, int32_t n) {
        for (int32_t i = n - 1; i >= 0; --i) put((code >> i) & 1u, 1);
    }

    // Pads to a whole byte with zero bits.
    void flush() {
        if (count > 0) bytes.push_back(static_cast<uint8_t>(buffer));
        buffer = 0;
        count = 0;
    }
};

constexpr std::array<int32_t, 29> LENGTH_BASE = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int32_t, 29> LENGTH_EXTRA = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int32_t, 30> DISTANCE_BASE = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int32_t, 30> DISTANCE_EXTRA = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr int32_t WINDOW = 32768;    // deflate's largest distance
constexpr int32_t MIN_MATCH = 3;     // shortest match worth a length code
constexpr int32_t MAX_MATCH = 258;   // longest match deflate can say
constexpr int32_t CHAIN_LIMIT = 128; // candidates tried per position

// Writes one literal/length symbol (0..287) with the fixed code.
void put_symbol(BitWriter& out, int32_t symbol) {
    if (symbol <= 143)
        out.put_code(0x30 + symbol, 8);
    else if (symbol <= 255)
        out.put_code(0x190 + symbol - 144, 9);
    else if (symbol <= 279)
        out.put_code(symbol - 256, 7);
    else
        out.put_code(0xC0 + symbol - 280, 8);
}

// Writes a match of `length` (3..258) bytes at `distance` (1..32768) bytes back.
void put_match(BitWriter& out, int32_t length, int32_t distance) {
    int32_t l = 28;
    while (LENGTH_BASE[l] > length) --l;
    put_symbol(out, 257 + l);
    out.put(length - LENGTH_BASE[l], LENGTH_EXTRA[l]);
    int32_t d = 29;
    while (DISTANCE_BASE[d] > distance) --d;
    out.put_code(d, 5);
    out.put(distance - DISTANCE_BASE[d], DISTANCE_EXTRA[d]);
}

// Returns a 15-bit hash of the three bytes at `p`.
uint32_t hash3(const uint8_t* p) {
    return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & 0x7FFFu;
}

// Compresses `data` as one fixed-Huffman deflate block with greedy LZ77 matching.
std::vector<uint8_t> deflate_fixed(const std::vector<uint8_t>& data) {
    BitWriter out;
    out.put(1, 1); // final block
    out.put(1, 2); // fixed Huffman codes
    const int32_t size = static_cast<int32_t>(data.size());
    std::vector<int32_t> head(0x8000, -1); // latest position of each hash
    std::vector<int32_t> prev(size, -1);   // earlier position with the same hash
    auto insert = [&](int32_t at) {
        if (at + MIN_MATCH > size) return;
        uint32_t h = hash3(&data[at]);
        prev[at] = head[h];
        head[h] = at;
    };
    int32_t pos = 0;
    while (pos < size) {
        int32_t best_length = 0, best_distance = 0;
        if (pos + MIN_MATCH <= size) {
            int32_t limit = std::min(MAX_MATCH, size - pos);
            int32_t tries = 0;
            for (int32_t cand = head[hash3(&data[pos])]; cand >= 0 && pos - cand <= WINDOW && tries < CHAIN_LIMIT;
                 cand = prev[cand], ++tries) {
                int32_t length = 0;
                while (length < limit && data[cand + length] == data[pos + length]) ++length;
                if (length > best_length) {
                    best_length = length;
                    best_distance = pos - cand;
                    if (length == limit) break;
                }
            }
        }
        if (best_length >= MIN_MATCH) {
            put_match(out, best_length, best_distance);
            for (int32_t i = 0; i < best_length; ++i) insert(pos + i);
            pos += best_length;
        } else {
            put_symbol(out, data[pos]);
            insert(pos);
            ++pos;
        }
    }
    put_symbol(out, 256); // end of block
    out.flush();
    return out.bytes;
}

// Returns the CRC-32 (the PNG polynomial) of `n` bytes, continuing from `crc`.
uint32_t crc32(uint32_t crc, const uint8_t* p, size_t n) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int32_t k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Returns the Adler-32 checksum that closes a zlib stream.
uint32_t adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

// Appends a 32-bit value, most significant byte first, as PNG stores numbers.
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int32_t shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Appends one chunk: length, type, data, CRC over type and data.
void put_chunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    put_u32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put_u32(png, crc32(0, &png[start], png.size() - start));
}

// Returns the Paeth predictor of PNG's filter type 4.
int32_t paeth(int32_t a, int32_t b, int32_t c) {
    int32_t p = a + b - c;
    int32_t pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Filters every row with whichever of the five filters gives the smallest sum of absolute
// (signed) bytes, the usual heuristic; each row is prefixed with its filter type.
std::vector<uint8_t> filter_rows(int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
    const int32_t stride = width * 4;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> candidate(stride), best(stride);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = &rgba[static_cast<size_t>(y) * stride];
        const uint8_t* up = y > 0 ? row - stride : nullptr;
        int64_t best_cost = -1;
        int32_t best_type = 0;
        for (int32_t type = 0; type <= 4; ++type) {
            int64_t cost = 0;
            for (int32_t i = 0; i < stride; ++i) {
                int32_t a = i >= 4 ? row[i - 4] : 0;
                int32_t b = up ? up[i] : 0;
                int32_t c = (up && i >= 4) ? up[i - 4] : 0;
                int32_t predicted = type == 0   ? 0
                                    : type == 1 ? a
                                    : type == 2 ? b
                                    : type == 3 ? (a + b) / 2
                                                : paeth(a, b, c);
                candidate[i] = static_cast<uint8_t>(row[i] - predicted);
                cost += std::abs(static_cast<int8_t>(candidate[i]));
            }
            if (best_cost < 0 || cost < best_cost) {
                best_cost = cost;
                best_type = type;
                best = candidate;
            }
        }
        raw.push_back(static_cast<uint8_t>(best_type));
        raw.insert(raw.end(), best.begin(), best.end());
    }
    return raw;
}

} // namespace

std::vector<uint8_t> encode_png(int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> png(signature, signature + 8);

    std::vector<uint8_t> header;
    put_u32(header, static_cast<uint32_t>(width));
    put_u32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, adaptive filters, no interlace
    put_chunk(png, "IHDR", header);

    std::vector<uint8_t> raw = filter_rows(width, height, rgba);
    std::vector<uint8_t> stream = {0x78, 0x01}; // zlib: deflate, 32K window, no dictionary
    std::vector<uint8_t> body = deflate_fixed(raw);
    stream.insert(stream.end(), body.begin(), body.end());
    put_u32(stream, adler32(raw));
    put_chunk(png, "IDAT", stream);

    put_chunk(png, "IEND", {});
    return png;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
