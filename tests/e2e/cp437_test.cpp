// cp437_test.cpp -- typed Unicode text to code page 437 key bytes.
#include <gtest/gtest.h>

#include "screen/cp437.h"

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    return std::vector<uint8_t>(list.begin(), list.end());
}

TEST(Cp437, AsciiAndTheGameKeysMapToThemselves) {
    EXPECT_EQ(cp437_from_utf8("1234567jJ \x1b"), bytes({49, 50, 51, 52, 53, 54, 55, 106, 74, 32, 27}));
    for (char32_t c = 0; c < 128; ++c) EXPECT_EQ(cp437_from_unicode(c), static_cast<int32_t>(c));
}

TEST(Cp437, AccentedLettersAndSymbols) {
    EXPECT_EQ(cp437_from_utf8("é£ßüÇ ÿ"), bytes({130, 156, 225, 129, 128, 32, 152}));
    EXPECT_EQ(cp437_from_unicode(0x00A0), 255); // no-break space, the last byte
    EXPECT_EQ(cp437_from_unicode(0x263A), 1);   // white smiling face, the picture of byte 1
    EXPECT_EQ(cp437_from_unicode(0x2302), 127); // house
    EXPECT_EQ(cp437_from_unicode(0x03B2), 225); // beta types as sharp s
}

// The whole upper half, typed in byte order, comes back as 128..255.
TEST(Cp437, UpperHalfInOrder) {
    const std::string upper = "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»"
                              "░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
                              "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
    std::vector<uint8_t> expected;
    for (int b = 128; b < 256; ++b) expected.push_back(static_cast<uint8_t>(b));
    EXPECT_EQ(cp437_from_utf8(upper), expected);
}

TEST(Cp437, CharactersTheCodePageLacksAreLeftOut) {
    EXPECT_EQ(cp437_from_unicode(0x20AC), -1); // euro sign
    EXPECT_EQ(cp437_from_utf8("3€j😀4"), bytes({51, 106, 52}));
}

TEST(Cp437, MalformedUtf8IsLeftOutWithoutLosingWhatFollows) {
    EXPECT_EQ(cp437_from_utf8("\xC3"), bytes({}));     // cut off
    EXPECT_EQ(cp437_from_utf8("\xC3j"), bytes({106})); // cut off before an ASCII byte
    EXPECT_EQ(cp437_from_utf8("\xC0\xAF"
                              "a"),
              bytes({97})); // overlong "/"
    EXPECT_EQ(cp437_from_utf8("\xED\xA0\x80"
                              "b"),
              bytes({98})); // surrogate half
    EXPECT_EQ(cp437_from_utf8("\x80\xFF"
                              "c"),
              bytes({99})); // stray continuation, invalid lead
    EXPECT_EQ(cp437_from_utf8(std::string("\0j", 2)), bytes({0, 106}));
}

} // namespace
