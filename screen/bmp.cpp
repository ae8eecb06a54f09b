// bmp.cpp -- load_bmp: draws an uncompressed 24- or 32-bit BMP file onto the frame.
//
// The file comes from a directory every user can write to, so nothing in it is trusted: sizes
// are checked in 64 bits against the file's real length, only the drawn part of a row (at most
// 640 pixels) is ever read into memory, and a fixed buffer holds it.
#include <algorithm>

#include "platform/platform.h"
#include "screen/screen_core.h"

namespace {

// The fields of the two headers that matter here.
struct BmpInfo {
    int64_t data_offset;    // file position of the first stored row
    int64_t width;          // pixels per row, at least 1
    int64_t height;         // rows; negative when the top row is stored first
    int32_t bits_per_pixel; // 24 or 32
};

// Returns the little-endian 16-bit value at p.
uint32_t u16(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// Returns the little-endian 32-bit value at p.
uint32_t u32(const unsigned char* p) {
    return u16(p) | u16(p + 2) << 16;
}

// Reads exactly n bytes at file position pos; false on a short read.
bool read_at(int32_t fd, int64_t pos, unsigned char* buffer, int64_t n) {
    int64_t done = 0;
    while (done < n) {
        const int64_t got = file_read_at(fd, pos + done, buffer + done, n - done);
        if (got <= 0) return false;
        done += got;
    }
    return true;
}

// Reads and checks both headers; returns 0 or ERROR_BAD_FILE.
int32_t read_headers(int32_t fd, BmpInfo& info) {
    constexpr int64_t FILE_HEADER = 14;
    unsigned char file_header[FILE_HEADER], info_header[124];
    if (!read_at(fd, 0, file_header, FILE_HEADER) || file_header[0] != 'B' || file_header[1] != 'M')
        return ERROR_BAD_FILE;
    info.data_offset = u32(file_header + 10);
    if (!read_at(fd, FILE_HEADER, info_header, 4)) return ERROR_BAD_FILE;
    const uint32_t size = u32(info_header);
    if (size != 12 && size != 40 && size != 56 && size != 108 && size != 124) return ERROR_BAD_FILE;
    if (!read_at(fd, FILE_HEADER + 4, info_header + 4, size - 4)) return ERROR_BAD_FILE;
    uint32_t planes = 0, compression = 0;
    if (size == 12) {
        info.width = u16(info_header + 4);
        info.height = u16(info_header + 6);
        planes = u16(info_header + 8);
        info.bits_per_pixel = int32_t(u16(info_header + 10));
    } else {
        info.width = int32_t(u32(info_header + 4));
        info.height = int32_t(u32(info_header + 8));
        planes = u16(info_header + 12);
        info.bits_per_pixel = int32_t(u16(info_header + 14));
        compression = u32(info_header + 16);
    }
    if (planes > 1 || info.width < 1 || info.height == 0) return ERROR_BAD_FILE;
    if ((info.bits_per_pixel != 24 && info.bits_per_pixel != 32) || compression != 0) return ERROR_BAD_FILE;
    return 0;
}

// Draws the stored rows that lie wholly inside the file; returns 0, or ERROR_BAD_FILE when the
// file ends before the last stored row. Screen lock held.
int32_t draw_rows_locked(int32_t fd, const BmpInfo& info, int64_t file_size) {
    static unsigned char row[FRAME_WIDTH * 4]; // the drawn part of one stored row
    const int64_t bytes_per_pixel = info.bits_per_pixel / 8;
    const int64_t stride = (info.width * bytes_per_pixel + 3) / 4 * 4; // stored row, padded
    const int64_t rows = info.height < 0 ? -info.height : info.height;
    const bool top_first = info.height < 0;
    const int64_t drawn_columns = std::min<int64_t>(info.width, FRAME_WIDTH);
    const int64_t complete = info.data_offset > file_size ? 0 : std::min(rows, (file_size - info.data_offset) / stride);

    // Stored row i holds image row y (from the top); only rows y < 480 of complete stored rows are drawn.
    for (int64_t y = 0; y < std::min<int64_t>(rows, FRAME_HEIGHT); ++y) {
        const int64_t i = top_first ? y : rows - 1 - y;
        if (i >= complete) continue;
        if (!read_at(fd, info.data_offset + i * stride, row, drawn_columns * bytes_per_pixel)) return ERROR_BAD_FILE;
        for (int64_t x = 0; x < drawn_columns; ++x) {
            const unsigned char* p = row + x * bytes_per_pixel;
            screen.frame[y][x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        mark_rows_changed_locked(int32_t(y), int32_t(y));
    }
    return complete < rows ? ERROR_BAD_FILE : 0;
}

} // namespace

// Draws a BMP file with its top-left pixel on frame pixel (0, 0). Returns 0; 2 when the file
// cannot be opened (frame unchanged); 3 when it is not a readable uncompressed 24/32-bit BMP
// (frame unchanged) or ends early (the rows stored before the end stay drawn).
int32_t load_bmp(const std::string& path) {
    const int32_t fd = file_open_read(path);
    if (fd < 0) return set_error(ERROR_CANNOT_OPEN);
    const int64_t size = file_size(fd);
    BmpInfo info{};
    int32_t result = ERROR_BAD_FILE;
    if (size >= 0 && read_headers(fd, info) == 0) {
        std::lock_guard<std::mutex> hold(screen.lock);
        if (screen.opened) {
            result = draw_rows_locked(fd, info, size);
            vid_frame_changed();
        } else {
            result = ERROR_BAD_ARGUMENT; // nothing is drawn before open_screen
        }
    }
    file_close(fd);
    return set_error(result);
}
