// decoder_test.cpp -- the picture text's tokens, decoded exactly as the extraction decodes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/picture.h"

namespace {

// Decodes `items` followed by the end marker.
std::string decode(std::vector<std::string> items) {
    items.push_back("EndeFini");
    std::vector<const char*> table;
    for (const std::string& item : items) table.push_back(item.c_str());
    return decode_picture_to_string(table.data(), static_cast<int32_t>(table.size()));
}

// Returns n copies of byte b.
std::string bytes(size_t n, char b) {
    return std::string(n, b);
}

} // namespace

TEST(PictureDecoder, ExampleTokens) {
    EXPECT_EQ(decode({"BM8 10 0E"}), std::string("\x42\x4D\x38\x10\x0E", 5));
    EXPECT_EQ(decode({" -9 1F +9 &"}), bytes(9, '\x1F') + bytes(9, '&'));
    EXPECT_EQ(decode({" -10 00"}), bytes(10, '\0'));
    EXPECT_EQ(decode({" 0E"}), "\x0E");
    EXPECT_EQ(decode({"8"}), "8");
    EXPECT_EQ(decode({"&-"}), "&-") << "a '-' not after a space is a literal";
    EXPECT_EQ(decode({"a+5 41"}), "a+5A") << "only a space opens a run";
}

TEST(PictureDecoder, HexTokensReadUpToTheFirstNonDigit) {
    EXPECT_EQ(decode({" 0e"}), "\x0E");
    EXPECT_EQ(decode({" ff"}), "\xFF");
    EXPECT_EQ(decode({" 7G"}), "\x07") << "one digit then a non-digit gives the digit";
    EXPECT_EQ(decode({" G7"}), std::string(1, '\0')) << "no leading digit gives 0";
    EXPECT_EQ(decode({" -3 zz"}), bytes(3, '\0'));
    EXPECT_EQ(decode({" -3 A!"}), bytes(3, '\x0A'));
}

TEST(PictureDecoder, RunsAndBytesAboveAscii) {
    EXPECT_EQ(decode({" +12 \xC8"}), bytes(12, '\xC8'));
    EXPECT_EQ(decode({" +3 -"}), "---") << "the run's character may be '-'";
    EXPECT_EQ(decode({" +3 ++"}), "++++");
    EXPECT_EQ(decode({"\x80\xFE"}), "\x80\xFE");
    EXPECT_EQ(decode({" -1389 41"}), bytes(1389, 'A'));
    EXPECT_EQ(decode({" -200000 20"}).size(), 200000u) << "a run longer than the output buffer";
}

TEST(PictureDecoder, CountsOfZeroOrLessWriteNothing) {
    EXPECT_EQ(decode({"A -0 41B"}), "AB");
    EXPECT_EQ(decode({"A +0 xB"}), "AB");
    EXPECT_EQ(decode({"A --5 41B"}), "AB") << "a negative count";
    EXPECT_EQ(decode({"A -x 41B"}), "AB") << "a count without digits is 0";
    EXPECT_EQ(decode({" -3x 41"}), "AAA") << "the count stops at the first non-digit";
}

TEST(PictureDecoder, HugeCountsSaturateAndStayBounded) {
    const char* items[] = {" -99999999999999999999 41", "EndeFini"};
    EXPECT_EQ(decode_picture_to_string(items, 2, 5000), bytes(5000, 'A'));
}

// A line that ends inside a token yields nothing for the missing characters; the token never
// takes characters from the next item.
TEST(PictureDecoder, LineEndingInsideAToken) {
    EXPECT_EQ(decode({" -3", "B"}), bytes(3, '\0') + "B") << "run without its byte: byte 0";
    EXPECT_EQ(decode({" -3 4", "B"}), bytes(3, '\x04') + "B");
    EXPECT_EQ(decode({" +3", "B"}), "B") << "character run without its character writes nothing";
    EXPECT_EQ(decode({" +3 ", "B"}), "B");
    EXPECT_EQ(decode({"A ", "B"}), std::string("A\0B", 3)) << "a lone space: hex of nothing, 0";
    EXPECT_EQ(decode({"A 4", "B"}), "A\x04"
                                    "B");
}

TEST(PictureDecoder, EndMarkerIsTestedAfterEveryToken) {
    EXPECT_EQ(decode({"AB", "CDEndeFini", "XY"}), "ABCD") << "an item ending in the marker stops early";
    EXPECT_EQ(decode({"AB", "CD", "XY"}), "ABCDXY");
    EXPECT_EQ(decode({" 41EndeFini", "XY"}), "A");
    EXPECT_EQ(decode({"EndeFiniX", "Y"}), "EndeFiniXY") << "the marker must be the whole rest of the line";
}

TEST(PictureDecoder, TextWithoutMarkerEndsWithTheData) {
    const char* items[] = {"AB", "C"};
    EXPECT_EQ(decode_picture_to_string(items, 2), "ABC");
    EXPECT_EQ(decode_picture_to_string(items, 0), "");
}
