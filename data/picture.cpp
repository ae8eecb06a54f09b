// picture.cpp -- the picture file: its name, the start-up test, the extraction and the display.
//
// The extraction never writes through the final name. It creates a fresh file beside it (exclusive
// create, so nothing planted there is followed or overwritten), writes the whole picture, closes
// it and only then renames it onto "ZAQT.bmp". A reader therefore sees no file or a whole one, an
// interrupted run leaves no cut-off picture behind, and two programs starting at once both end
// with one whole, identical file.
#include "data/picture.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>

#include "screen/screen.h"
#include "screen/screen_state.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

// The directory used when no variable names one; replaced only by tests.
std::string fallback_directory = "/tmp";

// Returns the value of environment variable `name`, or "" when unset.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Returns a name for a new file beside `name`, different at every call of this process.
std::string scratch_name(const std::string& name) {
    static uint32_t serial = 0; // counts the names handed out
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    long process = _getpid();
#else
    long process = static_cast<long>(getpid());
#endif
    char suffix[80];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.%llx.part", process, ++serial, static_cast<unsigned long long>(now));
    return name + suffix;
}

// Creates a new file beside `name` for writing and returns its descriptor, or -1; `scratch`
// receives its name. Never opens an existing file or link.
int32_t create_scratch_file(const std::string& name, std::string& scratch) {
    for (int32_t attempt = 0; attempt < 16; ++attempt) {
        scratch = scratch_name(name);
#ifdef _WIN32
        int32_t file = _open(scratch.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        int32_t file = open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
#endif
        if (file >= 0) return file;
        if (errno != EEXIST && errno != EINTR) break;
    }
    scratch.clear();
    return -1;
}

// Closes the scratch file and renames it onto `name` when everything went well; else removes it.
void finish_scratch_file(int32_t file, const std::string& scratch, const std::string& name, bool written) {
#ifdef _WIN32
    bool closed = _close(file) == 0;
    if (written && closed && MoveFileExA(scratch.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    _unlink(scratch.c_str());
#else
    bool closed = close(file) == 0;
    if (written && closed && std::rename(scratch.c_str(), name.c_str()) == 0) return;
    unlink(scratch.c_str());
#endif
}

} // namespace

void set_picture_fallback_directory(const std::string& directory) {
    fallback_directory = directory.empty() ? "/tmp" : directory;
}

#ifdef _WIN32
std::string picture_file_name() {
    return environment("temp") + "\\ZAQT.bmp";
}
#else
std::string picture_file_name() {
    for (const char* variable : {"temp", "TEMP", "TMPDIR"}) {
        std::string directory = environment(variable);
        if (!directory.empty()) return directory + "/ZAQT.bmp";
    }
    return fallback_directory + "/ZAQT.bmp";
}
#endif

bool picture_file_exists() {
#ifdef _WIN32
    int32_t file = _open(picture_file_name().c_str(), _O_RDONLY | _O_BINARY);
#else
    // O_NONBLOCK: a pipe planted under the picture's name must not hang the start-up.
    int32_t file = open(picture_file_name().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
    if (file < 0) {
        // The game has always seen 1 here: the failed open (2) followed by closing a file that
        // was never opened (1).
        set_error(ERROR_BAD_ARGUMENT);
        return false;
    }
#ifdef _WIN32
    _close(file);
#else
    close(file);
#endif
    set_error(ERROR_NONE);
    return true;
}

void extract_picture() {
    std::string name = picture_file_name();
    std::string scratch;
#ifndef _WIN32
    // Past a file size limit a write fails with EFBIG instead of ending the process.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous);
#endif
    int32_t file = create_scratch_file(name, scratch);
    bool written = decode_picture_into(file); // decodes the whole text even without a file
    if (file >= 0) finish_scratch_file(file, scratch, name, written);
#ifndef _WIN32
    sigaction(SIGXFSZ, &previous, nullptr);
#endif
}

void show_picture() {
    load_bmp(picture_file_name());
}
