// picture_maker.h -- the background picture's generator and its encoder into picture items.
//
// The picture is this project's own: a softly lit dark slate surface computed from integer noise,
// so every machine makes the same bytes. The encoder turns the BMP into the items of the data
// table's picture text; make_picture writes them as data/picture_items.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t PICTURE_WIDTH = 640;
constexpr int32_t PICTURE_HEIGHT = 480;
constexpr int32_t PICTURE_FILE_SIZE = 921656; // 54 header bytes + 921,600 pixel bytes + 2 zeros

// Returns the whole BMP file: header, 480 rows of 1,920 bytes bottom row first, two zero bytes.
std::vector<uint8_t> make_picture_bmp();

// Returns the picture items for `bmp` (without the end marker): whole tokens, 201 to 208 bytes
// each except a shorter last one, none ending in a space or in the end marker.
std::vector<std::string> encode_picture(const std::vector<uint8_t>& bmp);

// Returns the C++ source of data/picture_items.cpp holding `items` and the end marker.
std::string format_picture_items(const std::vector<std::string>& items);
