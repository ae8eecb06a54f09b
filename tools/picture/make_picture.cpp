// make_picture.cpp -- writes the background picture as BMP and/or as data/picture_items.cpp.
//
//     make_picture [--bmp FILE] [--items FILE]
// Checks its own output first: the items, decoded as the game decodes them, give the BMP back.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/picture.h"
#include "tools/picture/picture_maker.h"

namespace {

// Writes `size` bytes to `path`; false on any failure.
bool write_file(const char* path, const void* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Tells whether `items` decode back to exactly `bmp` with the game's own decoder.
bool decodes_back(const std::vector<std::string>& items, const std::vector<uint8_t>& bmp) {
    std::vector<const char*> table;
    for (const std::string& item : items) table.push_back(item.c_str());
    table.push_back("EndeFini");
    std::string bytes = decode_picture_to_string(table.data(), static_cast<int32_t>(table.size()));
    return bytes.size() == bmp.size() && std::memcmp(bytes.data(), bmp.data(), bmp.size()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* bmp_path = nullptr;
    const char* items_path = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--bmp") == 0)
            bmp_path = argv[i + 1];
        else if (std::strcmp(argv[i], "--items") == 0)
            items_path = argv[i + 1];
        else {
            std::fprintf(stderr, "make_picture: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if ((argc - 1) % 2 != 0 || (bmp_path == nullptr && items_path == nullptr)) {
        std::fprintf(stderr, "usage: make_picture [--bmp FILE] [--items FILE]\n");
        return 2;
    }
    std::vector<uint8_t> bmp = make_picture_bmp();
    std::vector<std::string> items = encode_picture(bmp);
    if (items.empty() || !decodes_back(items, bmp)) {
        std::fprintf(stderr, "make_picture: the picture items do not decode back to the picture\n");
        return 1;
    }
    if (bmp_path != nullptr && !write_file(bmp_path, bmp.data(), bmp.size())) {
        std::fprintf(stderr, "make_picture: cannot write %s\n", bmp_path);
        return 1;
    }
    if (items_path != nullptr) {
        std::string source = format_picture_items(items);
        if (!write_file(items_path, source.data(), source.size())) {
            std::fprintf(stderr, "make_picture: cannot write %s\n", items_path);
            return 1;
        }
    }
    size_t text = 0;
    for (const std::string& item : items) text += item.size();
    std::printf("make_picture: %zu bytes of picture, %zu items, %zu bytes of picture text\n", bmp.size(), items.size(),
                text);
    return 0;
}
