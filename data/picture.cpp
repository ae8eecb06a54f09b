// picture.cpp -- the picture file: its name, the start-up test, the extraction and the display.
//
// The file is written as a new file that gets its name only once it is whole and on the disk
// (platform/platform.h, file_begin_new): a reader sees no picture or a whole one, and a start
// that is killed or loses its power half-way leaves nothing cut off for the next start to load.
#include "data/picture.h"

#include "platform/platform.h"
#include "screen/screen.h"

std::string picture_file_name() {
    return file_in_temp("ZAQT.bmp");
}

bool picture_file_exists() {
    // The game has always seen 1 for a missing file: the failed open (2) followed by closing a
    // file that was never opened (1).
    const int32_t file = file_open_read(picture_file_name());
    if (file >= 0) file_close(file);
    set_error(file >= 0 ? ERROR_NONE : ERROR_BAD_ARGUMENT);
    return file >= 0;
}

void extract_picture() {
    const int32_t file = file_begin_new(picture_file_name());
    const bool written = decode_picture_into(file); // decodes the whole text even without a file
    if (file >= 0) file_end_new(file, written);
}

void show_picture() {
    load_bmp(picture_file_name());
}
