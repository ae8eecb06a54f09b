// picture.h -- the background picture file: its name, the start-up test, its extraction from the
// data table's picture text, and its display at the start of every game.
//
// The picture text is a row of tokens: a literal byte; " HH", one byte in hex; " -N HH", N times
// the byte HH; " +N c", N times the character c. The item "EndeFini" closes it.
#pragma once

#include <cstdint>
#include <string>

// Returns the picture file's name, formed afresh from the environment: "ZAQT.bmp" in the
// directory that "temp" names (platform/platform.h, file_in_temp: on Windows the value of "temp"
// followed directly by "\ZAQT.bmp"; on Linux "temp", else "TEMP", else "TMPDIR", else "/tmp").
std::string picture_file_name();

// Tells whether the picture file can be opened for reading; opens and closes it, nothing more.
// Leaves last_error() at 0 when it can and at 1 when it cannot.
// Called once by the game driver at start-up, after the screen is open.
bool picture_file_exists();

// Writes the picture file from the data table's picture text, leaving the read position after
// the end marker. The file appears whole or not at all: it gets its name only once it is written
// and flushed. Failure is silent and leaves no file behind.
// Called by the game driver at start-up when picture_file_exists() is false.
void extract_picture();

// Loads the picture file onto the frame (load_bmp); a missing or broken file is ignored.
// Called first at the set-up of every game.
void show_picture();

// --- For tests and tools ---

// Decodes the data table's picture text exactly as extract_picture does, writing through a
// buffer to the new file `file` (file_begin_new; -1: decode only). False if a write failed.
bool decode_picture_into(int32_t file);

// Decodes `count` items (the picture text and its end marker) exactly as extract_picture does
// and returns the bytes; bytes past the first `limit` are dropped (a run count may be huge).
std::string decode_picture_to_string(const char* const* items, int32_t count, int64_t limit = 1 << 24);
