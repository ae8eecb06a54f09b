// png.cpp -- PNG chunks and row filters of our own; zlib compresses the filtered rows.
#include "tools/icon/png.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Returns the filtered rows as one zlib stream: deflate at level 9 with zlib's defaults for
// window and memory, so the same rows give the same bytes wherever the same zlib runs. Ends the
// program when zlib fails (it only can for want of memory).
std::vector<uint8_t> compress_rows(const std::vector<uint8_t>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> stream(size);
    if (compress2(stream.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK) {
        std::fputs("viertal-icon: zlib cannot compress the icon\n", stderr);
        std::exit(1);
    }
    stream.resize(size);
    return stream;
}

// Appends a 32-bit value, most significant byte first, as PNG stores numbers.
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int32_t shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Appends one chunk: length, type, data, CRC-32 over type and data.
void put_chunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    put_u32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put_u32(png, static_cast<uint32_t>(crc32(0, &png[start], static_cast<uInt>(png.size() - start))));
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
    put_chunk(png, "IDAT", compress_rows(filter_rows(width, height, rgba)));
    put_chunk(png, "IEND", {});
    return png;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
