// file_posix.cpp -- files on Linux (and any POSIX system): the temp directory's lookup, reading
// the picture, and writing a new file that appears whole or not at all.
//
// A new file is never written through its final name. Where the file system allows it, it is
// written as an unnamed file in the right directory and linked in under its name once whole, so
// even a program killed in the middle of the write leaves nothing behind. Elsewhere it is written
// under a fresh scratch name beside the final one (exclusive create, so nothing planted there is
// followed or overwritten) and renamed. Either way the bytes are flushed to the disk before the
// name stands, and the directory after: a reader sees no file or a whole one, a power cut leaves
// no cut-off file, and two programs writing the same file at once both end with one whole file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/scratch_name.h"

namespace {

// The new file being written: one at a time.
struct NewFile {
    int32_t fd = -1;
    std::string path;                // the name it gets when ended whole
    std::string scratch;             // its scratch name; empty while it has no name at all
    struct sigaction size_signal {}; // how SIGXFSZ was handled before the file was begun
};
NewFile new_file;

// Returns the variable's value, or "" when it is unset.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Returns the directory part of `path` ("." when it has none).
std::string directory_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes the directory of `path`, so that a new name in it survives a power cut.
void sync_directory(const std::string& path) {
    const int32_t directory = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return;
    fsync(directory);
    close(directory);
}

// Creates a new file beside `path` and returns its descriptor, or -1; `scratch` receives its
// name. Never opens an existing file or link.
int32_t create_scratch(const std::string& path, std::string& scratch) {
    for (int32_t attempt = 0; attempt < 16; ++attempt) {
        scratch = scratch_name(path, static_cast<long>(getpid()));
        const int32_t fd = open(scratch.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) return fd;
        if (errno != EEXIST && errno != EINTR) break;
    }
    scratch.clear();
    return -1;
}

// Writes all bytes; false on any failure.
bool write_all(int32_t fd, const unsigned char* bytes, int64_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, static_cast<size_t>(count));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= written;
    }
    return true;
}

// Links the unnamed file in under a scratch name beside the final one; false (and no scratch
// name) when that fails.
bool link_scratch(const char* proc_path) {
    new_file.scratch = scratch_name(new_file.path, static_cast<long>(getpid()));
    if (linkat(AT_FDCWD, proc_path, AT_FDCWD, new_file.scratch.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    new_file.scratch.clear();
    return false;
}

// Copies the unnamed file into a new scratch file beside the final one, flushed and closed; false
// (and no scratch file) when that fails. For a system where an unnamed file cannot be linked in
// (no /proc).
bool copy_to_scratch() {
    const int32_t copy = create_scratch(new_file.path, new_file.scratch);
    if (copy < 0) return false;
    static unsigned char buffer[1 << 16]; // one new file at a time; off the game thread's stack
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(new_file.fd, buffer, sizeof buffer, at)) > 0; at += got)
        if (!write_all(copy, buffer, got)) break;
    const bool copied = got == 0 && fsync(copy) == 0;
    if (close(copy) == 0 && copied) return true;
    unlink(new_file.scratch.c_str());
    new_file.scratch.clear();
    return false;
}

// Gives the unnamed file its name: linked in directly where nothing stands under the name, else
// under a scratch name that is then renamed over whatever stands there (a dangling link). Closes
// the file. Returns true once the name stands.
bool link_unnamed() {
    char proc_path[64];
    std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", static_cast<int>(new_file.fd));
    if (linkat(AT_FDCWD, proc_path, AT_FDCWD, new_file.path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        close(new_file.fd);
        return true;
    }
    const bool scratch_made = errno == EEXIST ? link_scratch(proc_path) : copy_to_scratch();
    close(new_file.fd);
    return scratch_made && std::rename(new_file.scratch.c_str(), new_file.path.c_str()) == 0;
}

} // namespace

std::string file_in_temp(const std::string& name) {
    for (const char* variable : {"temp", "TEMP", "TMPDIR"}) {
        const std::string directory = environment(variable);
        if (!directory.empty()) return directory + "/" + name;
    }
    return "/tmp/" + name;
}

// O_NONBLOCK: a pipe planted under the name must not hang the game.
int32_t file_open_read(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

int64_t file_size(int32_t file) {
    struct stat st {};
    return fstat(file, &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : -1;
}

int64_t file_read_at(int32_t file, int64_t position, void* bytes, int64_t count) {
    return pread(file, bytes, static_cast<size_t>(count), static_cast<off_t>(position));
}

void file_close(int32_t file) {
    close(file);
}

// Past a file size limit a write then fails with EFBIG instead of ending the process.
int32_t file_begin_new(const std::string& path) {
    if (new_file.fd >= 0) return -1;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &new_file.size_signal);
    new_file.path = path;
    new_file.scratch.clear();
#ifdef O_TMPFILE
    new_file.fd = open(directory_of(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
#endif
    if (new_file.fd < 0) new_file.fd = create_scratch(path, new_file.scratch);
    if (new_file.fd < 0) sigaction(SIGXFSZ, &new_file.size_signal, nullptr);
    return new_file.fd;
}

bool file_write(int32_t file, const void* bytes, int64_t count) {
    return write_all(file, static_cast<const unsigned char*>(bytes), count);
}

bool file_end_new(int32_t file, bool keep) {
    if (file < 0 || file != new_file.fd) return false;
    bool named = false;
    if (keep && fsync(file) == 0) {
        if (new_file.scratch.empty())
            named = link_unnamed();
        else
            named = close(file) == 0 && std::rename(new_file.scratch.c_str(), new_file.path.c_str()) == 0;
    } else {
        close(file);
    }
    if (named)
        sync_directory(new_file.path);
    else if (!new_file.scratch.empty())
        unlink(new_file.scratch.c_str());
    sigaction(SIGXFSZ, &new_file.size_signal, nullptr);
    new_file.fd = -1;
    return named;
}
