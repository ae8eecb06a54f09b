// picture_text_test.cpp -- the embedded picture text: its shape, and that it decodes to exactly
// the picture the generator makes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/data_table.h"
#include "data/picture.h"
#include "tools/picture/picture_maker.h"

namespace {

// Returns the little-endian field of `size` bytes at `offset`.
uint32_t field(const std::string& bmp, size_t offset, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) value |= uint32_t(uint8_t(bmp[offset + i])) << (8 * i);
    return value;
}

// The picture text items, without the end marker.
std::vector<std::string> text_items() {
    std::vector<std::string> items;
    for (int32_t i = 0; i + 1 < picture_item_count; ++i) items.push_back(picture_items[i]);
    return items;
}

} // namespace

TEST(PictureText, DecodesToTheGeneratedPicture) {
    std::vector<uint8_t> generated = make_picture_bmp();
    std::string decoded = decode_picture_to_string(picture_items, picture_item_count);
    ASSERT_EQ(decoded.size(), generated.size());
    EXPECT_EQ(std::memcmp(decoded.data(), generated.data(), generated.size()), 0);
}

TEST(PictureText, EncoderReproducesTheEmbeddedItems) {
    EXPECT_EQ(encode_picture(make_picture_bmp()), text_items());
}

TEST(PictureText, DecodedFileHasTheExactHeader) {
    std::string bmp = decode_picture_to_string(picture_items, picture_item_count);
    ASSERT_EQ(bmp.size(), 921656u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(field(bmp, 2, 4), 921656u);
    EXPECT_EQ(field(bmp, 6, 2), 0u);
    EXPECT_EQ(field(bmp, 8, 2), 0u);
    EXPECT_EQ(field(bmp, 10, 4), 54u);
    EXPECT_EQ(field(bmp, 14, 4), 40u);
    EXPECT_EQ(field(bmp, 18, 4), 640u);
    EXPECT_EQ(field(bmp, 22, 4), 480u);
    EXPECT_EQ(field(bmp, 26, 2), 1u);
    EXPECT_EQ(field(bmp, 28, 2), 24u);
    EXPECT_EQ(field(bmp, 30, 4), 0u);
    EXPECT_EQ(field(bmp, 34, 4), 921602u);
    EXPECT_EQ(field(bmp, 38, 4), 2834u);
    EXPECT_EQ(field(bmp, 42, 4), 2834u);
    EXPECT_EQ(field(bmp, 46, 4), 0u);
    EXPECT_EQ(field(bmp, 50, 4), 0u);
    EXPECT_EQ(bmp.substr(921654), std::string(2, '\0'));
}

// The picture is dark and grey: every pixel has blue = green = red, no level is bright.
TEST(PictureText, PictureIsDarkAndGrey) {
    std::string bmp = decode_picture_to_string(picture_items, picture_item_count);
    ASSERT_EQ(bmp.size(), 921656u);
    int64_t sum = 0;
    int32_t brightest = 0, not_grey = 0;
    for (size_t p = 54; p < 54 + 921600; p += 3) {
        uint8_t b = uint8_t(bmp[p]), g = uint8_t(bmp[p + 1]), r = uint8_t(bmp[p + 2]);
        not_grey += (b != g || g != r);
        brightest = std::max<int32_t>(brightest, g);
        sum += g;
    }
    EXPECT_EQ(not_grey, 0);
    EXPECT_LT(brightest, 140);
    EXPECT_LT(sum / (640 * 480), 90);
}

TEST(PictureText, ItemsFollowTheStoredShape) {
    ASSERT_GE(picture_item_count, 2);
    EXPECT_STREQ(picture_items[picture_item_count - 1], "EndeFini");
    EXPECT_EQ(std::string(picture_items[0]).rfind("BM8 10 0E", 0), 0u);
    size_t total = 0;
    for (int32_t i = 0; i + 1 < picture_item_count; ++i) {
        std::string item = picture_items[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        total += item.size();
        bool last = i + 2 == picture_item_count;
        EXPECT_LE(item.size(), 208u);
        if (!last) {
            EXPECT_GE(item.size(), 201u);
        }
        EXPECT_FALSE(item.empty());
        EXPECT_NE(item.back(), ' ');
        EXPECT_FALSE(item.size() >= 8 && item.compare(item.size() - 8, 8, "EndeFini") == 0);
        for (unsigned char c : item) {
            // Bytes below 0x21 (but the space that opens tokens), 0x22 and 0xFF are hex coded.
            ASSERT_TRUE(c >= 0x20 && c != 0x22 && c != 0xFF) << "byte " << int(c);
        }
    }
    EXPECT_LE(total, 1000000u) << "picture text bytes";
}

TEST(PictureText, TableReadPositionReachesTheText) {
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < BANNER_ITEM_COUNT; ++i) read_int();
    EXPECT_EQ(read_text().rfind("BM8 10 0E", 0), 0u);
}

// Bytes the picture itself never holds: the marker's letters over and over, hex-coded bytes,
// runs just below and above the run length, a long run.
TEST(PictureEncoder, KeepsTheItemRulesOnAwkwardBytes) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 300; ++i)
        for (char c : std::string("EndeFini")) bytes.push_back(uint8_t(c));
    for (uint8_t b : {0x00, 0x20, 0x21, 0x22, 0x2B, 0x2D, 0x3F, 0x5C, 0x80, 0xFE, 0xFF})
        for (int count : {1, 6, 7, 8, 9, 10, 2000}) bytes.insert(bytes.end(), size_t(count), b);
    for (int i = 0; i < 300; ++i)
        for (char c : std::string(" -EndeFini")) bytes.push_back(uint8_t(c));

    std::vector<std::string> items = encode_picture(bytes);
    ASSERT_FALSE(items.empty());
    std::vector<const char*> table;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        SCOPED_TRACE("item " + std::to_string(i + 1) + ": " + item);
        if (i + 1 < items.size()) {
            EXPECT_GE(item.size(), 201u);
        }
        EXPECT_LE(item.size(), 208u);
        EXPECT_NE(item.back(), ' ');
        EXPECT_FALSE(item.size() >= 8 && item.compare(item.size() - 8, 8, "EndeFini") == 0);
        EXPECT_EQ(item.find('\0'), std::string::npos);
        table.push_back(item.c_str());
    }
    table.push_back("EndeFini");
    std::string decoded = decode_picture_to_string(table.data(), int32_t(table.size()));
    EXPECT_EQ(decoded, std::string(bytes.begin(), bytes.end()));
}

// Runs of 9 or more equal bytes become one run token; shorter ones stay single tokens.
TEST(PictureEncoder, RunsFromNineOn) {
    std::vector<uint8_t> bytes(8, 'A');
    bytes.insert(bytes.end(), 9, 'B');
    bytes.insert(bytes.end(), 8, 0x00);
    bytes.insert(bytes.end(), 12, 0x00 + 1);
    std::vector<std::string> items = encode_picture(bytes);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], "AAAAAAAA +9 B 00 00 00 00 00 00 00 00 -12 01");
}

TEST(PictureEncoder, FormatsItemsAsSafeLiterals) {
    std::string source = format_picture_items({"a\"b\\c?\?=d\x80"
                                               "7\xFF"});
    EXPECT_NE(source.find("\"a\\\"b\\\\c\\?\\?=d\\2007\\377\","), std::string::npos) << source;
    EXPECT_NE(source.find("\"EndeFini\",\n};"), std::string::npos);
}
