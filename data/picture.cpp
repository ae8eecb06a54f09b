// picture.cpp -- the picture file: its name, the start-up test, the extraction and the display.
//
// The extraction never writes through the final name. Where the file system allows it, it writes
// into an unnamed file in the picture's directory and gives it a name only once it is whole, so
// even a program killed in the middle of the write leaves nothing behind. Elsewhere it creates a
// fresh file beside the final name (exclusive create, so nothing planted there is followed or
// overwritten). Either way the whole picture is written, flushed to the disk and closed, and only
// then named "ZAQT.bmp"; the directory is flushed after. A reader therefore sees no file or a
// whole one, an interrupted run or a power cut leaves no cut-off picture behind, and two
// programs starting at once both end with one whole, identical file.
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
#include <sys/stat.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

// The directory used when no variable names one; replaced only by tests.
std::string fallback_directory = "/tmp";

// Returns the value of environment variable `name`, or "" when unset. On Windows the name is
// matched whatever its case, so "temp" finds the usual "TEMP".
std::string environment(const char* name) {
#ifdef _WIN32
    std::string value(MAX_PATH, '\0');
    for (;;) {
        const DWORD size = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
        if (size < value.size()) {
            value.resize(size); // 0: unset or empty
            return value;
        }
        value.resize(size); // too small: size is what it needs, the final zero included
    }
#else
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
#endif
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

#ifndef _WIN32
// Returns the directory part of `name` ("." when it has none).
std::string directory_of(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Flushes the directory of `name`, so that a new name in it survives a power cut.
void sync_directory(const std::string& name) {
    const int32_t directory = open(directory_of(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return;
    fsync(directory);
    close(directory);
}
#endif

// Flushes (where the platform allows), closes the scratch file and renames it onto `name` when
// everything went well; else removes it.
void finish_scratch_file(int32_t file, const std::string& scratch, const std::string& name, bool written) {
#ifdef _WIN32
    // Write-through: the rename reaches the disk before the call returns.
    const bool synced = written && _commit(file) == 0;
    const bool closed = _close(file) == 0;
    if (synced && closed &&
        MoveFileExA(scratch.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return;
    _unlink(scratch.c_str());
#else
    const bool synced = written && fsync(file) == 0;
    const bool closed = close(file) == 0;
    if (synced && closed && std::rename(scratch.c_str(), name.c_str()) == 0) return sync_directory(name);
    unlink(scratch.c_str());
#endif
}

#if defined(__linux__) && defined(O_TMPFILE)

// Writes the picture into an unnamed file in the directory of `name` and, once it is whole,
// links it in under `name`, or, where something already stands there (a dangling link), under
// a scratch name that is then renamed onto `name`. Returns false when the
// directory cannot hold unnamed files or the link fails, so the caller writes a named scratch
// file instead; true when the extraction is settled, written or not (a failed write leaves
// nothing behind).
bool extract_unnamed(const std::string& name) {
    const int32_t file = open(directory_of(name).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (file < 0) return false;
    // Flushed before it gets a name: after a power cut the name never stands for a cut-off file.
    if (!decode_picture_into(file) || fsync(file) != 0) {
        close(file);
        return true;
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", static_cast<int>(file));
    // Usually nothing stands under the name: linking the file in there directly leaves no
    // scratch name behind, even when the program is killed right then.
    if (linkat(AT_FDCWD, path, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        close(file);
        sync_directory(name);
        return true;
    }
    const std::string scratch = scratch_name(name);
    if (errno != EEXIST || linkat(AT_FDCWD, path, AT_FDCWD, scratch.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        close(file);
        return false;
    }
    if (close(file) != 0 || std::rename(scratch.c_str(), name.c_str()) != 0)
        unlink(scratch.c_str());
    else
        sync_directory(name);
    return true;
}
#endif

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
#if defined(__linux__) && defined(O_TMPFILE)
    if (extract_unnamed(name)) {
        sigaction(SIGXFSZ, &previous, nullptr);
        return;
    }
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
