// scratch_name.h -- the name of a file being written beside its final one, shared by the
// platforms' files (posix/, win32/): it never stands for an existing file, so a new one is made.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// Returns a name for a new file beside `path`, different at every call of this process (whose
// id is `process`): ".PROCESS.SERIAL.CLOCK.part" added.
inline std::string scratch_name(const std::string& path, long process) {
    static uint32_t serial = 0; // counts the names handed out
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[80];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.%llx.part", process, ++serial, static_cast<unsigned long long>(now));
    return path + suffix;
}
