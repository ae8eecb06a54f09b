// scratch_name.h -- the name of a file being written beside its final one, shared by the
// platforms' files (posix/, win32/): it never stands for an existing file, so a new one is made.
#pragma once

#include <cctype>
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

// Returns the process id in `name` when it is a scratch name that scratch_name gave beside a file
// named `base` (BASE.PROCESS.SERIAL.CLOCK.part: decimal, decimal, hexadecimal), else 0. For
// removing what a writer that no longer runs left behind, and nothing else.
inline int64_t scratch_writer(const std::string& name, const std::string& base) {
    const std::string part = ".part";
    if (name.size() < base.size() + part.size() || name.compare(0, base.size(), base) != 0 ||
        name.compare(name.size() - part.size(), part.size(), part) != 0)
        return 0;
    const size_t end = name.size() - part.size();
    size_t at = base.size();
    int64_t process = 0;
    for (int32_t field = 0; field < 3; ++field) {
        if (at >= end || name[at++] != '.') return 0;
        const size_t first = at;
        for (; at < end && name[at] != '.'; ++at) {
            const auto c = static_cast<unsigned char>(name[at]);
            if (field < 2 ? !std::isdigit(c) : !std::isxdigit(c)) return 0;
            if (field == 0) process = process > (int64_t(1) << 40) ? process : process * 10 + (c - '0');
        }
        if (at == first) return 0;
    }
    return at == end ? process : 0;
}
