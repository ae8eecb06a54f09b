// fuzz_text.cpp -- fuzz target for the procedures that read untrusted text: the data table's
// numbers, the picture text's decoder and the key-text helpers. The input's NUL bytes split it
// into items. Checks only what must hold for any input; a sanitizer catches the rest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/data_table.h"
#include "data/picture.h"
#include "screen/screen.h"

#define FUZZ_CHECK(condition)                                                                                          \
    if (!(condition)) {                                                                                                \
        std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                             \
        std::abort();                                                                                                  \
    }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> items(1);
    for (size_t i = 0; i < size; ++i)
        if (data[i] == 0)
            items.emplace_back();
        else
            items.back().push_back(char(data[i]));
    std::vector<const char*> pointers;
    for (const std::string& item : items) {
        const int64_t value = parse_int(item.c_str());
        FUZZ_CHECK(value == 0 || item.find_first_of("0123456789") != std::string::npos);
        pointers.push_back(item.c_str());
    }
    const std::string bytes = decode_picture_to_string(pointers.data(), int32_t(pointers.size()), 1 << 16);
    FUZZ_CHECK(bytes.size() <= 1 << 16);
    const std::string& key = items[0];
    const int32_t position = size > 0 ? int8_t(data[0]) : 0, count = size > 1 ? int8_t(data[1]) : 0;
    FUZZ_CHECK(text_mid(key, position, count).size() <= key.size());
    FUZZ_CHECK(char_code(key, position) >= 0 && char_code(key, position) <= 255);
    FUZZ_CHECK(text_compare(key, key) == 0);
    FUZZ_CHECK((text_compare(key, bytes) < 0) == (text_compare(bytes, key) > 0));
    return 0;
}
