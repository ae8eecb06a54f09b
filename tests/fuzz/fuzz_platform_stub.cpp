// fuzz_platform_stub.cpp -- a platform with no window for the fuzz targets that draw: nothing
// to show, no time passing, no sound.
#include <cstdlib>

#include "screen/platform.h"

int32_t platform_open_window(int32_t, int32_t, const std::string&) { return 0; }
void platform_sleep(int32_t) {}
double platform_seconds() { return 0.0; }
void platform_tone(int32_t, int32_t) {}
[[noreturn]] void platform_end_program(int32_t code) { std::exit(code); }
void platform_sleep_until_input(uint64_t) {}
void platform_frame_changed() {}
std::string platform_program_name() { return "fuzz"; }
