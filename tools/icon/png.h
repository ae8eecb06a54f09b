// png.h -- a small deterministic PNG writer (8-bit RGBA, adaptive row filters, zlib level 9).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height pixels, 4 bytes each (red, green, blue, alpha), rows top first, as a
// complete PNG file. The same pixels always give the same bytes.
std::vector<uint8_t> encode_png(int32_t width, int32_t height, const std::vector<uint8_t>& rgba);

// Writes the bytes to `path`; returns false when the file cannot be written completely.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);
